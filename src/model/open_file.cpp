#include "model/open_file.h"

#include <stdexcept>
#include <string>

namespace veltrane {

OpenFile::OpenFile() {
    Command3.enabled = false;
    Command4.enabled = false;

    for (OptionButton* o : {&Option1, &Option2, &Option3, &Option4})
        o->group = {&Option1, &Option2, &Option3, &Option4};

    for (Control* c : {&Label11, &Label12, &Label10, &comp1}) c->align = Align::Right;
    Label10.tooltip = "The length of file in seconds.";
    comp1.tooltip = "Compression type. Only PCM - Uncompressed is supported in this version.";

    ProgressBar1.visible = false;
    ProgressBar1.tooltip = "Progress Bar Indicator";
    Label13.align = Align::Center;

    for (Control* c : {&Text11, &lan, &ftitle, &fname, &Label14, &hid1, &hid2, &hid3, &HELP})
        c->visible = false;
    Text11.enabled = false;

    rook1.align = Align::Center;
    for (Control* c : {&set1, &set2, &set3, &set4, &set5, &set6, &set7, &set8, &set9})
        c->align = Align::Right;
}

std::vector<Control*> OpenFile::controls() {
    return {
        &Command1, &Command3, &Command4, &Command5,     &Command6, &Command2,   &Frame1,  &Option1,
        &Option2,  &Option3,  &Option4,  &Frame2,       &ch5,      &ch6,        &ch7,     &multi,
        &notify,   &Fast,     &Label11,  &Slider1,      &Text9,    &Label12,    &Slider2, &Text10,
        &Label1,   &Label10,  &comp1,    &Label9,       &Text1,    &Label5,     &Text5,   &Label2,
        &Text2,    &Label6,   &Text6,    &Label3,       &Text3,    &Label7,     &Text7,   &Label4,
        &Text4,    &Label8,   &Text8,    &ProgressBar1, &Label13,  &StatusBar1, &Text11,  &lan,
        &ftitle,   &fname,    &Label14,  &hid1,         &hid2,     &hid3,       &HELP,    &rook1,
        &rook2,    &rook3,    &set1,     &rook4,        &set2,     &rook5,      &set3,    &rook7,
        &set5,     &rook6,    &set4,     &rook8,        &set6,     &rook9,      &set7,    &rook10,
        &set8,     &Label15,  &rook11,   &set9,         &Check1,   &lg,         &Command7};
}

void tick_method(OpenFile& f, std::string_view method) {
    if (method != "1" && method != "2" && method != "3") return;
    f.ch5.set_value(method == "1" ? 1 : 0);
    f.ch6.set_value(method == "2" ? 1 : 0);
    f.ch7.set_value(method == "3" ? 1 : 0);
}

Control& find_control(OpenFile& f, std::string_view name) {
    for (Control* c : f.controls())
        if (name == c->name) return *c;
    throw std::out_of_range("no control named " + std::string(name));
}

const std::vector<LineShape>& window_lines() {
    static const std::vector<LineShape> lines = {
        {0, 2760, 6480, 2760, false},     // Line1: choices above, details below
        {120, 3960, 6480, 3960, false},   // Line2: details above, progress row below
        {6960, 120, 6960, 4320, false},   // divider between working area and Rook screen
        {7200, 360, 10695, 360, true},    // under the Rook screen title
        {7080, 600, 9015, 600, false},    // under "Registry Settings"
        {7080, 3120, 8895, 3120, false},  // under "Additional Settings"
    };
    return lines;
}

}  // namespace veltrane
