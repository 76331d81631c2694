#pragma once
// The language of the toolkit's own texts (the buttons of message boxes, the file
// dialog, standard widgets) and of the few texts the Qt services show themselves.
namespace veltrane {

enum class ToolkitLanguage { English, German };

// Loads the toolkit's German translations for German and unloads them for English. When
// they are not installed the toolkit goes on in English.
void set_toolkit_language(ToolkitLanguage language);
ToolkitLanguage toolkit_language();

}  // namespace veltrane
