#include "preview/wording.h"

#include "preview/why.h"

namespace veltrane::preview {

namespace {

constexpr WindowWords kEnglish{
    .title = "Preview – ",
    .untitled = "Preview",
    .menu_entry = "Preview silences…",
    .why_title = "Why nothing was found",
    .looking_for_reason = "Looking for the reason…",
    .hint =
        "Wheel: zoom · Shift+wheel or arrow keys: scroll · 0: whole file · "
        "a click on a silence shows it",
    .whole_file = "Whole file",
    .save_labels = "Save labels…",
    .save_labels_title = "Save labels",
    .label_files = "Label track (*.txt);;All files (*)",
    .close = "Close",
    .reading = "Reading %1 …",
    .reading_done = "Reading %1 … %2%",
    .no_file = "No file is loaded. Load one with “Load File” first.",
    .start = "Start (ms)",
    .end = "End (ms)",
    .length = "Length (ms)",
    .gap_file = "GAP file",
    .same = "same",
    .moved = "moved",
    .added = "new",
    .only_in_file = "only in the file",
};

constexpr WindowWords kGerman{
    .title = "Vorschau – ",
    .untitled = "Vorschau",
    .menu_entry = "Vorschau der Pausen…",
    .why_title = "Warum nichts gefunden wurde",
    .looking_for_reason = "Suche nach dem Grund…",
    .hint =
        "Mausrad: Zoom · Umschalt+Mausrad oder Pfeiltasten: blättern · 0: ganze "
        "Datei · ein Klick auf eine Pause zeigt sie",
    .whole_file = "Ganze Datei",
    .save_labels = "Marken speichern…",
    .save_labels_title = "Marken speichern",
    .label_files = "Markenspur (*.txt);;Alle Dateien (*)",
    .close = "Schließen",
    .reading = "Lese %1 …",
    .reading_done = "Lese %1 … %2 %",
    .no_file = "Keine Datei geladen. Zuerst mit „Datei laden“ eine laden.",
    .start = "Beginn (ms)",
    .end = "Ende (ms)",
    .length = "Länge (ms)",
    .gap_file = "GAP-Datei",
    .same = "gleich",
    .moved = "verschoben",
    .added = "neu",
    .only_in_file = "nur in der Datei",
};

}  // namespace

const WindowWords& window_words(Language language) {
    return language == Language::German ? kGerman : kEnglish;
}

}  // namespace veltrane::preview
