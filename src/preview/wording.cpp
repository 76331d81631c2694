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
        "Wheel: zoom · Shift+wheel or arrow keys: scroll · 0: whole file · a click puts the "
        "cursor · Space: play/pause · P: play around the silence · N, Shift+N: next, previous",
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
    .play = "Play",
    .pause = "Pause",
    .play_around = "Play around",
    .no_sound = "No sound output: %1",
    .no_device = "no audio device was found",
    .refused = "the audio device does not take %1",
    .failed = "the audio device could not be opened",
    .readout = "%1 · %2 dBFS",
    .unrecorded_tail =
        "Quiet to the end of the file: no silence is recorded here, because no sound "
        "follows it",
    .picture_name = "Waveform",
    .picture_description =
        "The recording from %2 to %3 with the %1 silences the settings record shaded; a "
        "lane below compares them with the GAP file",
    .list_name = "Silences",
    .list_description =
        "The silences the settings record, then those only in the GAP file; Enter plays "
        "around the one selected",
    .scroll_name = "Time shown",
};

constexpr WindowWords kGerman{
    .title = "Vorschau – ",
    .untitled = "Vorschau",
    .menu_entry = "Vorschau der Pausen…",
    .why_title = "Warum nichts gefunden wurde",
    .looking_for_reason = "Suche nach dem Grund…",
    .hint =
        "Mausrad: Zoom · Umschalt+Mausrad oder Pfeiltasten: blättern · 0: ganze Datei · ein "
        "Klick setzt den Cursor · Leertaste: abspielen/anhalten · P: um die Pause herum "
        "abspielen · N, Umschalt+N: nächste, vorige",
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
    .play = "Abspielen",
    .pause = "Anhalten",
    .play_around = "Um die Pause abspielen",
    .no_sound = "Keine Tonausgabe: %1",
    .no_device = "kein Audiogerät gefunden",
    .refused = "das Audiogerät nimmt %1 nicht an",
    .failed = "das Audiogerät ließ sich nicht öffnen",
    .readout = "%1 · %2 dBFS",
    .unrecorded_tail =
        "Still bis zum Dateiende: hier wird keine Pause aufgezeichnet, weil kein Ton mehr "
        "folgt",
    .picture_name = "Wellenform",
    .picture_description =
        "Die Aufnahme von %2 bis %3 mit den %1 Pausen, die die Einstellungen aufzeichnen, "
        "schattiert; eine Spur darunter vergleicht sie mit der GAP-Datei",
    .list_name = "Pausen",
    .list_description =
        "Die Pausen, die die Einstellungen aufzeichnen, dann die nur in der GAP-Datei; "
        "Eingabe spielt um die gewählte herum",
    .scroll_name = "Gezeigte Zeit",
};

constexpr EditWords kEditEnglish{
    .edit = "Edit (E)",
    .back = "Back to detection",
    .save = "Save (Ctrl+S)",
    .undo = "Undo",
    .redo = "Redo",
    .open_labels = "Open labels…",
    .open_labels_title = "Open labels",
    .label_files = "Labels, CSV or JSON (*.txt *.csv *.json);;All files (*)",
    .hint =
        "Editing: drag an edge · Ctrl+drag over an empty stretch: add · Delete: remove · M: "
        "merge with the next · S: split at the cursor · arrow keys (with Shift): move the "
        "edge 1 ms (10 ms) · Ctrl+Z, Ctrl+Shift+Z: undo, redo · Ctrl+S: save",
    .editing =
        "Edited by hand: %1, %2 changed or added. The list no longer follows the "
        "settings.",
    .edited = "edited",
    .start_title = "Edit the silences",
    .start_question =
        "Start from the silences the settings find, or from those of the GAP "
        "file on disk?",
    .from_settings = "The settings' silences",
    .from_file = "The GAP file's silences",
    .unsaved_title = "Unsaved edits",
    .unsaved_question =
        "The silences of %1 were edited and are not saved. Save them to the "
        "GAP file?",
    .save_answer = "Save",
    .discard = "Discard",
    .cancel = "Cancel",
    .as_saved = "GAP file: %1, exactly as saved.",
    .differs =
        "GAP file: %1; the edited list: %2 the same, %3 moved, %4 new, %5 only in "
        "the file.",
    .refused = "%1, line %2: %3. Nothing was changed.",
    .not_saved = "The silences were not saved: %1",
    .one_silence = "1 silence",
    .silences = "%1 silences",
};

constexpr EditWords kEditGerman{
    .edit = "Bearbeiten (E)",
    .back = "Zurück zur Erkennung",
    .save = "Speichern (Strg+S)",
    .undo = "Rückgängig",
    .redo = "Wiederholen",
    .open_labels = "Marken öffnen…",
    .open_labels_title = "Marken öffnen",
    .label_files = "Marken, CSV oder JSON (*.txt *.csv *.json);;Alle Dateien (*)",
    .hint =
        "Bearbeiten: Rand ziehen · Strg+Ziehen über eine leere Strecke: hinzufügen · Entf: "
        "löschen · M: mit der nächsten verbinden · S: am Cursor teilen · Pfeiltasten (mit "
        "Umschalt): Rand um 1 ms (10 ms) verschieben · Strg+Z, Strg+Umschalt+Z: rückgängig, "
        "wiederholen · Strg+S: speichern",
    .editing =
        "Von Hand bearbeitet: %1, %2 geändert oder hinzugefügt. Die Liste folgt den "
        "Einstellungen nicht mehr.",
    .edited = "bearbeitet",
    .start_title = "Pausen bearbeiten",
    .start_question =
        "Mit den Pausen beginnen, die die Einstellungen finden, oder mit denen "
        "der GAP-Datei?",
    .from_settings = "Pausen der Einstellungen",
    .from_file = "Pausen der GAP-Datei",
    .unsaved_title = "Ungespeicherte Änderungen",
    .unsaved_question =
        "Die Pausen von %1 wurden bearbeitet und nicht gespeichert. In die "
        "GAP-Datei speichern?",
    .save_answer = "Speichern",
    .discard = "Verwerfen",
    .cancel = "Abbrechen",
    .as_saved = "GAP-Datei: %1, genau wie gespeichert.",
    .differs =
        "GAP-Datei: %1; die bearbeitete Liste: %2 gleich, %3 verschoben, %4 neu, %5 "
        "nur in der Datei.",
    .refused = "%1, Zeile %2: %3. Nichts wurde geändert.",
    .not_saved = "Die Pausen wurden nicht gespeichert: %1",
    .one_silence = "1 Pause",
    .silences = "%1 Pausen",
};

}  // namespace

const EditWords& edit_words(Language language) {
    return language == Language::German ? kEditGerman : kEditEnglish;
}

const WindowWords& window_words(Language language) {
    return language == Language::German ? kGerman : kEnglish;
}

}  // namespace veltrane::preview
