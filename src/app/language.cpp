#include "app/language.h"

#include "app/app.h"
#include "app/generate_tip.h"

namespace veltrane {

namespace {

struct Caption {
    const char* control;
    const char* english;
    const char* german;
};

// The captions the language switch sets; both directions set the same controls.
const Caption kCaptions[] = {
    {"Command1", "Load File", "Datei laden"},
    {"Command2", "Exit", "Programm verlassen"},
    {"Command3", "Generate", "Erstellen"},
    {"Command4", "Play", "Abspielen"},
    {"Command5", "German", "English"},
    {"Command6", "Manual", "Handbuch"},
    {"Command7", "Leave Rook/Debug Mode", "Rook/Debug Modus verlassen"},
    {"Frame1", "Settings", "Einstellungen"},
    {"Frame2", "Method", "Methode"},
    {"Label1", "File Details...", "Dateieinzelheiten..."},
    {"Label2", "File Type:", "Dateityp:"},
    {"Label3", "File Size:", "Dateigrobe:"},
    {"Label4", "Channels Used:", "Verwendete Kanale:"},
    {"Label5", "Sample Rate:", "Sample Rate:"},
    {"Label6", "Bytes Per Second:", "Bytes Per Second:"},
    {"Label7", "Bytes Per Sample:", "Bytes pro Sample:"},
    {"Label8", "Bits per Sample:", "Bits pro Sample:"},
    {"Label9", "File Name:", "Dateiname:"},
    {"Label11", "Sensitivity:", "Sensitivitat:"},
    {"Label12", "Filter:", "Filter:"},
    {"Label15", "Additional Settings", "Zusatzliche Einstellungen"},
    {"rook1", "Rookhold Mode / Debug Mode", "Rookhold Modus / Debug Modus"},
    {"rook2", "Registry Settings", "Registrierungseinstellungen"},
    {"rook3", "Number of Bytes processed", "Anzahl der verarbeiteten Bytes"},
    {"rook4", "Number of files read", "Anzahl der gelesenen Dateien"},
    {"rook5", "Total time needed", "Gesamt benptigte Zeit"},
    {"rook6", "Times processed single file", "Anzahl der gesamt verarbeiteten Einzel Dateien"},
    {"rook7", "Average speed", "Durchschnittsgeschwindigkeit"},
    {"rook8", "Opinion Flag", "Meinungssymbol"},
    {"rook9", "Speed Test Flag", "Geschwindigkeitstest Markierungssymbol"},
    {"rook10", "Rookhold Flag", "Rookhold Markierungssymbol:"},
    {"rook11", "Data.Qlm located flag", "Data.Qlm zugehoriges Markierungssymbol:"},
    {"Option1", "Normal", "Normal"},
    {"Option2", "Noisy", "Laut"},
    {"Option3", "Accurate", "Genau"},
    {"Option4", "Custom", "Benutzerdefiniert"},
    {"ch5", "Single File", "Einzelne Datei"},
    {"ch6", "JA Format", "JA Format"},
    {"ch7", "Entire Folder", "Gesamtes Verzeichnis"},
    {"multi", "Allow Multitasking", "Multitasking zulassen"},
    {"notify", "Notify when done", "Nach Beendigung benachrichtigen"},
    {"Fast", "Double Speed", "Doppelte Geschwindigkeit"},
    {"Check1", "Show Progress Bar", "Fortschritt anzeigen"},
};

void set_captions(OpenFile& f, bool german) {
    for (const Caption& c : kCaptions)
        find_control(f, c.control).caption = german ? c.german : c.english;
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
    word_generate_tip(f);
}

void Command5_Click(App& app) {
    translate(app);
}

Wording wording(App& app) {
    return app.f().lan.caption == "2" ? Wording::German : Wording::English;
}

}  // namespace veltrane
