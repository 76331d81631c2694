#pragma once
#include <string_view>
#include <vector>

#include "model/controls.h"

namespace veltrane {

// The main window's state: one field per control, created in its design state.
// Hidden holder controls carry values between procedures. "Unload and show again"
// is a fresh OpenFile.
struct OpenFile {
    OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // Every control, in drawing order, for views that mirror the model.
    std::vector<Control*> controls();

    std::string Caption = "Veltrane";
    int Width = 11010;  // outer width in twips; load_settings sets 6960 or 11010

    // Command buttons, a column at the left edge.
    Control Command1{"Command1", Kind::Button, "Load File", {120, 120, 1215, 375}};
    Control Command3{"Command3", Kind::Button, "Generate", {120, 480, 1215, 375}};
    Control Command4{"Command4", Kind::Button, "Play File", {120, 840, 1215, 375}};
    Control Command5{"Command5", Kind::Button, "German", {120, 1200, 1215, 375}};
    Control Command6{"Command6", Kind::Button, "Manual", {120, 1560, 1215, 375}};
    Control Command2{"Command2", Kind::Button, "Exit", {120, 1920, 1215, 375}};

    // Choices.
    Control Frame1{"Frame1", Kind::Frame, "Settings", {1440, 120, 1815, 2175}};
    OptionButton Option1{"Option1", "Normal", {1560, 360, 1215, 375}};
    OptionButton Option2{"Option2", "Noisy", {1560, 840, 1215, 375}};
    OptionButton Option3{"Option3", "Accurate", {1560, 1320, 1215, 375}};
    OptionButton Option4{"Option4", "Custom", {1560, 1800, 1575, 375}};
    Control Frame2{"Frame2", Kind::Frame, "Method", {3240, 120, 1695, 1335}};
    CheckBox ch5{"ch5", "Single File", {3360, 360, 1455, 255}, 1};
    CheckBox ch6{"ch6", "JA Format", {3360, 720, 1455, 195}, 0};
    CheckBox ch7{"ch7", "Entire Folder", {3360, 960, 1455, 375}, 0};
    CheckBox multi{"multi", "Allow Multitasking", {5040, 240, 1695, 375}, 0};
    CheckBox notify{"notify", "Notify when done", {5040, 600, 1695, 375}, 0};
    CheckBox Fast{"Fast", "Double Speed", {5040, 960, 1695, 495}, 0};
    Control Label11{"Label11", Kind::Label, "Sensitivity:", {3240, 1560, 975, 255}};
    Slider Slider1{"Slider1", {4200, 1560, 1815, 255}, 1, 50, 15, 5, 5};
    Control Text9{"Text9", Kind::TextBox, "", {6120, 1560, 375, 285}};
    Control Label12{"Label12", Kind::Label, "Filter:", {3240, 1920, 975, 255}};
    Slider Slider2{"Slider2", {4200, 1920, 1815, 255}, 20, 500, 50, 5, 50};
    Control Text10{"Text10", Kind::TextBox, "", {6120, 1920, 375, 285}};

    // File details.
    Control Label1{"Label1", Kind::Label, "File Details...", {120, 2400, 2415, 255}};
    Control Label10{"Label10", Kind::Label, "", {3960, 2280, 2415, 255}};
    Control comp1{"comp1", Kind::Label, "", {3960, 2520, 2415, 255}};
    Control Label9{"Label9", Kind::Label, "File Name:", {120, 2880, 1395, 285}};
    Control Text1{"Text1", Kind::TextBox, "", {1560, 2880, 1335, 285}};
    Control Label5{"Label5", Kind::Label, "Sample Rate:", {3000, 2880, 1995, 285}};
    Control Text5{"Text5", Kind::TextBox, "", {5040, 2880, 1455, 285}};
    Control Label2{"Label2", Kind::Label, "File Type:", {120, 3120, 1395, 285}};
    Control Text2{"Text2", Kind::TextBox, "", {1560, 3120, 1335, 285}};
    Control Label6{"Label6", Kind::Label, "Bytes Per Second:", {3000, 3120, 1995, 285}};
    Control Text6{"Text6", Kind::TextBox, "", {5040, 3120, 1455, 285}};
    Control Label3{"Label3", Kind::Label, "File Size:", {120, 3360, 1395, 285}};
    Control Text3{"Text3", Kind::TextBox, "", {1560, 3360, 1335, 285}};
    Control Label7{"Label7", Kind::Label, "Bytes Per Sample:", {3000, 3360, 1995, 285}};
    Control Text7{"Text7", Kind::TextBox, "", {5040, 3360, 1455, 285}};
    Control Label4{"Label4", Kind::Label, "Channels Used:", {120, 3600, 1395, 285}};
    Control Text4{"Text4", Kind::TextBox, "", {1560, 3600, 1335, 285}};
    Control Label8{"Label8", Kind::Label, "Bits per Sample:", {3000, 3600, 1995, 285}};
    Control Text8{"Text8", Kind::TextBox, "", {5040, 3600, 1455, 285}};

    // Progress row and status bar.
    ProgressBar ProgressBar1{"ProgressBar1", {120, 4080, 6375, 255}};
    Control Label13{"Label13", Kind::Label, "", {120, 4080, 6375, 255}};
    Control StatusBar1{"StatusBar1", Kind::StatusBar, "Ready...", {0, 4410, 10920, 375}};
    CommonDialog CommonDialog1;
    // Why the samples of the file loaded last cannot be scanned, as the scan words it;
    // empty when they can or none is loaded. Only Generate's tooltip reads it.
    std::string not_scanned;

    // Hidden holders.
    Control Text11{"Text11", Kind::TextBox, "1", {}};
    Control lan{"lan", Kind::Label, "1", {}};
    Control ftitle{"ftitle", Kind::Label, "Label16", {}};
    Control fname{"fname", Kind::Label, "Label16", {}};
    Control Label14{"Label14", Kind::Label, "", {}};
    Control hid1{"hid1", Kind::Label, "", {}};
    Control hid2{"hid2", Kind::Label, "", {}};
    Control hid3{"hid3", Kind::Label, "", {}};
    Control HELP{"HELP", Kind::Label, "", {}};

    // The Rook screen, right of the divider.
    Control rook1{"rook1", Kind::Label, "Rookhold Mode / Debug Mode", {7200, 120, 3495, 255}};
    Control rook2{"rook2", Kind::Label, "  Registry Settings", {7080, 480, 1935, 255}};
    Control rook3{"rook3", Kind::Label, "Number of Bytes processed :", {7080, 840, 3015, 255}};
    Control set1{"set1", Kind::Label, "No value", {9600, 840, 1215, 255}};
    Control rook4{
        "rook4", Kind::Label, "Number of files read             :", {7080, 1080, 3015, 255}};
    Control set2{"set2", Kind::Label, "No value", {9600, 1080, 1215, 255}};
    Control rook5{
        "rook5", Kind::Label, "Total time needed                :", {7080, 1320, 3015, 255}};
    Control set3{"set3", Kind::Label, "No value", {9600, 1320, 1215, 255}};
    Control rook7{
        "rook7", Kind::Label, "Average speed                    :", {7080, 1560, 3015, 255}};
    Control set5{"set5", Kind::Label, "No value", {9600, 1560, 1215, 255}};
    Control rook6{"rook6", Kind::Label, "Times processed single file  :", {7080, 1800, 3015, 375}};
    Control set4{"set4", Kind::Label, "No value", {9600, 1800, 1215, 255}};
    Control rook8{
        "rook8", Kind::Label, "Opinion Flag                        :", {7080, 2160, 3015, 255}};
    Control set6{"set6", Kind::Label, "No value", {9600, 2160, 1215, 255}};
    Control rook9{
        "rook9", Kind::Label, "Speed Test Flag                  :", {7080, 2400, 3015, 255}};
    Control set7{"set7", Kind::Label, "No value", {9600, 2400, 1215, 255}};
    Control rook10{"rook10", Kind::Label, "Rookhold Flag        :", {7080, 2640, 3015, 255}};
    Control set8{"set8", Kind::Label, "No value", {9600, 2640, 1215, 255}};
    Control Label15{"Label15", Kind::Label, "  Additional Settings", {7080, 3000, 1815, 255}};
    Control rook11{
        "rook11", Kind::Label, "Data.Qlm located flag           :", {7080, 3240, 3015, 255}};
    Control set9{"set9", Kind::Label, "Label16", {9600, 3240, 1215, 255}};
    CheckBox Check1{"Check1", "Show Progress Bar", {7080, 3600, 3735, 255}, 1};
    CheckBox lg{"lg", "Log", {10080, 3600, 735, 255}, 0};
    Control Command7{"Command7", Kind::Button, "Leave Rook/Debug Mode", {7080, 4080, 3735, 255}};
};

// Ticks the method check box of a method number ("1", "2", "3") and clears the other
// two; any other text changes nothing.
void tick_method(OpenFile& f, std::string_view method);

// The control of that name; throws std::out_of_range for a name the window lacks.
Control& find_control(OpenFile& f, std::string_view name);

// Lines drawn on the main window (from x1,y1 to x2,y2 in twips); decoration only.
struct LineShape {
    int x1, y1, x2, y2;
    bool blue;
};
const std::vector<LineShape>& window_lines();

// The two outer widths of the main window.
inline constexpr int kNormalWidth = 6960;
inline constexpr int kRookWidth = 11010;

}  // namespace veltrane
