#pragma once
// Numbers as the preview writes them for people: a point in English, a comma in
// German, never the locale's choice.
#include <cstdint>
#include <string>

namespace veltrane::preview {

enum class Language;

// x with `places` decimals.
std::string fixed(double x, int places, Language language);
// Whole milliseconds as seconds with three decimals ("12.345").
std::string seconds(std::int64_t ms, Language language);
// A level in dBFS with one decimal ("-18.6"); "-inf" for minus infinity.
std::string decibels(double db, Language language);

}  // namespace veltrane::preview

namespace veltrane::preview {

// The preview window's own words in one language. "%1" and "%2" stand for the file's
// name and how much of it has been read.
struct WindowWords {
    const char* title;       // before the file's name
    const char* untitled;    // no file yet
    const char* menu_entry;  // the main window's context menu
    const char* why_title;
    const char* looking_for_reason;
    const char* hint;
    const char* whole_file;
    const char* save_labels;        // the button
    const char* save_labels_title;  // the file dialog
    const char* label_files;
    const char* close;
    const char* reading;       // %1
    const char* reading_done;  // %1, %2
    const char* no_file;
    // The list's columns after "#", and the GAP file's column for each kind of match.
    const char* start;
    const char* end;
    const char* length;
    const char* gap_file;
    const char* same;
    const char* moved;
    const char* added;
    const char* only_in_file;
    // Listening.
    const char* play;         // the button while nothing plays
    const char* pause;        // the button while it plays
    const char* play_around;  // a second either side of the selected silence
    const char* no_sound;     // %1: why
    const char* no_device;
    const char* refused;  // %1: the format
    const char* failed;
    const char* readout;  // %1 the time, %2 the level
    const char* unrecorded_tail;
    // For screen readers.
    const char* picture_name;
    const char* picture_description;  // %1 silences, %2 from, %3 to
    const char* list_name;
    const char* list_description;
    const char* scroll_name;
};

const WindowWords& window_words(Language language);

// The words of editing the silences by hand. "%1"… as in each comment.
struct EditWords {
    const char* edit;  // the button
    const char* back;  // back to the silences the settings find
    const char* save;  // into the GAP file
    const char* undo;
    const char* redo;
    const char* open_labels;        // the button
    const char* open_labels_title;  // the file dialog
    const char* label_files;
    const char* hint;
    const char* editing;  // %1 silences, %2 of them edited
    const char* edited;   // a row's mark
    const char* start_title;
    const char* start_question;
    const char* from_settings;
    const char* from_file;
    const char* unsaved_title;
    const char* unsaved_question;  // %1 the recording's name
    const char* save_answer;
    const char* discard;
    const char* cancel;
    const char* as_saved;   // %1 the GAP file's silences
    const char* differs;    // %1 the GAP file's silences, %2 same, %3 moved, %4 new, %5 gone
    const char* refused;    // %1 the file, %2 the line, %3 why
    const char* not_saved;  // %1 why
    const char* one_silence;
    const char* silences;  // %1
};

const EditWords& edit_words(Language language);

}  // namespace veltrane::preview
