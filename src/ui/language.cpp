#include "ui/language.h"

#include "app/app.h"

namespace veltrane {

namespace {

struct Caption {
    Control OpenFile::*control;
    const char* english;
    const char* german;
};

// The captions the language switch sets; both directions set the same controls.
const Caption kCaptions[] = {
    {&OpenFile::Command1, "Load File", "Datei laden"},
    {&OpenFile::Command2, "Exit", "Programm verlassen"},
    {&OpenFile::Command3, "Generate", "Erstellen"},
    {&OpenFile::Command4, "Play", "Abspielen"},
    {&OpenFile::Command5, "German", "English"},
    {&OpenFile::Command6, "Manual", "Handbuch"},
    {&OpenFile::Command7, "Leave Rook/Debug Mode", "Rook/Debug Modus verlassen"},
    {&OpenFile::Frame1, "Settings", "Einstellungen"},
    {&OpenFile::Frame2, "Method", "Methode"},
    {&OpenFile::Label1, "File Details...", "Dateieinzelheiten..."},
    {&OpenFile::Label2, "File Type:", "Dateityp:"},
    {&OpenFile::Label3, "File Size:", "Dateigrobe:"},
    {&OpenFile::Label4, "Channels Used:", "Verwendete Kanale:"},
    {&OpenFile::Label5, "Sample Rate:", "Sample Rate:"},
    {&OpenFile::Label6, "Bytes Per Second:", "Bytes Per Second:"},
    {&OpenFile::Label7, "Bytes Per Sample:", "Bytes pro Sample:"},
    {&OpenFile::Label8, "Bits per Sample:", "Bits pro Sample:"},
    {&OpenFile::Label9, "File Name:", "Dateiname:"},
    {&OpenFile::Label11, "Sensitivity:", "Sensitivitat:"},
    {&OpenFile::Label12, "Filter:", "Filter:"},
    {&OpenFile::Label15, "Additional Settings", "Zusatzliche Einstellungen"},
    {&OpenFile::rook1, "Rookhold Mode / Debug Mode", "Rookhold Modus / Debug Modus"},
    {&OpenFile::rook2, "Registry Settings", "Registrierungseinstellungen"},
    {&OpenFile::rook3, "Number of Bytes processed", "Anzahl der verarbeiteten Bytes"},
    {&OpenFile::rook4, "Number of files read", "Anzahl der gelesenen Dateien"},
    {&OpenFile::rook5, "Total time needed", "Gesamt benptigte Zeit"},
    {&OpenFile::rook6, "Times processed single file",
     "Anzahl der gesamt verarbeiteten Einzel Dateien"},
    {&OpenFile::rook7, "Average speed", "Durchschnittsgeschwindigkeit"},
    {&OpenFile::rook8, "Opinion Flag", "Meinungssymbol"},
    {&OpenFile::rook9, "Speed Test Flag", "Geschwindigkeitstest Markierungssymbol"},
    {&OpenFile::rook10, "Rookhold Flag", "Rookhold Markierungssymbol:"},
    {&OpenFile::rook11, "Data.Qlm located flag", "Data.Qlm zugehoriges Markierungssymbol:"},
};

struct OptionCaption {
    OptionButton OpenFile::*control;
    const char* english;
    const char* german;
};
const OptionCaption kOptionCaptions[] = {
    {&OpenFile::Option1, "Normal", "Normal"},
    {&OpenFile::Option2, "Noisy", "Laut"},
    {&OpenFile::Option3, "Accurate", "Genau"},
    {&OpenFile::Option4, "Custom", "Benutzerdefiniert"},
};

struct CheckCaption {
    CheckBox OpenFile::*control;
    const char* english;
    const char* german;
};
const CheckCaption kCheckCaptions[] = {
    {&OpenFile::ch5, "Single File", "Einzelne Datei"},
    {&OpenFile::ch6, "JA Format", "JA Format"},
    {&OpenFile::ch7, "Entire Folder", "Gesamtes Verzeichnis"},
    {&OpenFile::multi, "Allow Multitasking", "Multitasking zulassen"},
    {&OpenFile::notify, "Notify when done", "Nach Beendigung benachrichtigen"},
    {&OpenFile::Fast, "Double Speed", "Doppelte Geschwindigkeit"},
    {&OpenFile::Check1, "Show Progress Bar", "Fortschritt anzeigen"},
};

void set_captions(OpenFile& f, bool german) {
    for (const auto& c : kCaptions) (f.*c.control).caption = german ? c.german : c.english;
    for (const auto& c : kOptionCaptions) (f.*c.control).caption = german ? c.german : c.english;
    for (const auto& c : kCheckCaptions) (f.*c.control).caption = german ? c.german : c.english;
}

}  // namespace

void translate(App& app) {
    OpenFile& f = app.f();
    if (f.lan.caption == "1") {
        app.log("Translating to german");
        f.lan.caption = "2";
        set_captions(f, true);
        f.StatusBar1.caption = "Fertig...";
    } else if (f.lan.caption == "2") {
        app.log("Translating to English");
        f.lan.caption = "1";
        set_captions(f, false);
        f.StatusBar1.caption = "Ready...";
    }
}

void Command5_Click(App& app) {
    translate(app);
}

}  // namespace veltrane
