#pragma once
// Generate's tooltip: why the file loaded last cannot be scanned, in the window's
// language. Neither counted nor logged; the old procedures never read it.
#include <string>

#include "base/error.h"

namespace veltrane {

struct App;
struct OpenFile;

// `reason` (as why_not_scanned words it) for the tooltip, with a capital first letter;
// in German each of its forms is given in German, and one without a German form stays
// as it is. Empty for an empty reason.
std::string generate_tip(const std::string& reason, Wording wording);

// Sets OpenFile::not_scanned for the file the dialog holds (cleared when its samples
// can be scanned or it cannot be read), and Generate's tooltip from it.
void explain_generate(App& app);

// Generate's tooltip from OpenFile::not_scanned in the window's language.
void word_generate_tip(OpenFile& f);

}  // namespace veltrane
