#pragma once

// The main window's widgets as one table of rectangles, read by
// windowlayout.cpp only: each row names its member, parent, caption, place
// and look; then the tab order and the help panel's text.
#include "windows/main/colors.h"
#include "windows/main/windowlayout.h"

#include <QRgb>

#include <variant>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace {

// Liberation Sans at the sizes the layout was drawn for.
enum class Face { Small, SmallBold, Medium, MediumBold, Large };
// Colours of the table: the desktop's own, or fixed ones from Colors.
enum class Paint { Default, Highlight, InactiveTitle, Fixed };

// Look flags
constexpr int kBorder = 1, kCentred = 2, kHidden = 4, kDisabled = 8, kColoured = 16;

struct Colour
{
    Paint paint = Paint::Default;
    QRgb rgb = 0;
};
constexpr Colour dflt{};
constexpr Colour fixed(QRgb rgb)
{
    return {Paint::Fixed, rgb};
}
constexpr Colour highlight{Paint::Highlight};
constexpr Colour inactiveTitle{Paint::InactiveTitle};

using W = WindowWidgets;

// Where a row's widget goes: a member of WindowWidgets of the widget's own
// type (so a misnamed member does not compile), or one of the preset buttons.
struct PresetButton
{
    int index; // 0 to 6
};
using Slot = std::variant<QLabel * W::*, QPushButton * W::*, QGroupBox * W::*, QLineEdit * W::*,
                          QPlainTextEdit * W::*, PresetButton>;

struct Row
{
    Slot slot;
    const char *name;      // its object name
    QGroupBox *W::*parent; // nullptr: the window
    const char *caption;
    int left, top, width, height; // pixels inside the parent
    Face face;
    Colour back;
    Colour fore;
    int flags;
};

// The help panel's text: eight lines, each ended by CR LF.
const char kHelpText[] = "- Set the COM port number\r\n"
                         "- Set Baud rate (9600).\r\n"
                         "- Set DevPass-password (not used in this application). \r\n"
                         "- Set Sample time (1-32000 sec.) NOT USE!\r\n"
                         "- Set proper ucApp name\r\n"
                         "- Add users labels 1-2\r\n"
                         "- More devices can be connected to different ports and copy the exe version  under "
                         "a different name \r\n"
                         "and use the various COM ports.  \r\n";

using F = Face;
using namespace Colors;

// Parents come before their children.
// clang-format off
const Row kLayout[] = {
    // the window
    {&W::statusLabel, "statusLabel", nullptr, "--", 49, 7, 485, 24, F::Medium, dflt, dflt, kBorder | kCentred},
    {&W::setButton, "setButton", nullptr, "Set", 7, 7, 36, 24, F::MediumBold, fixed(Magenta), dflt, kColoured},
    {&W::controlPanel, "controlPanel", nullptr, "PV1:", 7, 42, 526, 134, F::SmallBold, fixed(Black), fixed(LightYellow), kDisabled},
    {&W::helpButton, "helpButton", nullptr, "Hlp", 7, 189, 36, 22, F::MediumBold, inactiveTitle, dflt, kColoured},
    {&W::deviceLabel, "deviceLabel", nullptr, "???", 49, 189, 484, 22, F::Medium, fixed(Black), fixed(Yellow), kBorder | kCentred},
    {&W::helpPanel, "helpPanel", nullptr, "Help:", 7, 7, 528, 204, F::Small, highlight, fixed(White), kHidden},
    {&W::settingsPanel, "settingsPanel", nullptr, "Settings:", 7, 7, 526, 204, F::SmallBold, fixed(DarkRed), fixed(White), kHidden},
    // the control panel
    {&W::dutyDisplay, "dutyDisplay", &W::controlPanel, "-", 7, 21, 134, 43, F::Large, fixed(Black), fixed(Red), kBorder | kCentred},
    {&W::dutyCaption, "dutyCaption", &W::controlPanel, "Pumpa2:", 7, 77, 134, 29, F::SmallBold, fixed(LightYellow), dflt, kCentred},
    {&W::duty100Button, "duty100Button", &W::controlPanel, "100%", 154, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {&W::duty50Button, "duty50Button", &W::controlPanel, "50%", 154, 63, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {&W::duty0Button, "duty0Button", &W::controlPanel, "0%", 154, 105, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {&W::typedDutyFrame, "typedDutyFrame", &W::controlPanel, "Set(0-100%):", 217, 14, 85, 113, F::SmallBold, fixed(Black), fixed(Green), 0},
    {&W::typedDutyBox, "typedDutyBox", &W::typedDutyFrame, "10", 14, 21, 57, 19, F::MediumBold, dflt, dflt, kCentred},
    {&W::sendButton, "sendButton", &W::typedDutyFrame, "Send", 7, 70, 71, 29, F::MediumBold, fixed(Green), dflt, kColoured},
    {&W::presetFrame, "presetFrame", &W::controlPanel, "Set Pwm Freq.(Hz):", 308, 14, 211, 113, F::SmallBold, fixed(Black), highlight, 0},
    {PresetButton{0}, "presetButton1", &W::presetFrame, "31372", 14, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{1}, "presetButton2", &W::presetFrame, "3921", 77, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{2}, "presetButton3", &W::presetFrame, "980", 140, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{3}, "presetButton4", &W::presetFrame, "490", 14, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{4}, "presetButton5", &W::presetFrame, "245", 77, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{5}, "presetButton6", &W::presetFrame, "122", 140, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {PresetButton{6}, "presetButton7", &W::presetFrame, "30.6", 14, 77, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    // the help panel
    {&W::helpText, "helpText", &W::helpPanel, kHelpText, 7, 14, 492, 127, F::Small, dflt, dflt, 0},
    {&W::closeHelpButton, "closeHelpButton", &W::helpPanel, "Close", 413, 154, 85, 24, F::Medium, inactiveTitle, dflt, kColoured},
    // the settings panel
    {&W::connectionFrame, "connectionFrame", &W::settingsPanel, "COM:    Baud:       DevPas:   STime:      ucApp:", 7, 14, 491, 36, F::Small, dflt, dflt, 0},
    {&W::portBox, "portBox", &W::connectionFrame, "-", 7, 14, 36, 16, F::Small, dflt, dflt, kCentred},
    {&W::baudBox, "baudBox", &W::connectionFrame, "-", 49, 14, 43, 16, F::Small, dflt, dflt, kCentred},
    {&W::passwordBox, "passwordBox", &W::connectionFrame, "-", 98, 14, 43, 16, F::Small, dflt, dflt, kCentred},
    {&W::sampleTimeBox, "sampleTimeBox", &W::connectionFrame, "-", 147, 14, 43, 16, F::Small, dflt, dflt, kCentred | kDisabled},
    {&W::deviceCodeBox, "deviceCodeBox", &W::connectionFrame, "-", 196, 14, 134, 16, F::Small, dflt, dflt, 0},
    {&W::labelsFrame, "labelsFrame", &W::settingsPanel, "MyLabels:", 7, 56, 491, 64, F::Small, dflt, dflt, 0},
    {&W::label1Frame, "label1Frame", &W::labelsFrame, "MyLabel1:", 7, 14, 106, 43, F::Small, dflt, dflt, 0},
    {&W::label1Box, "label1Box", &W::label1Frame, "Text2", 7, 14, 92, 19, F::Small, dflt, dflt, 0},
    {&W::saveButton, "saveButton", &W::settingsPanel, "SAVE-CLOSE", 392, 140, 106, 29, F::Small, dflt, dflt, 0},
};

// Tab order among the controls the user can reach.
const Slot kTabOrder[] = {
    &W::setButton,     &W::saveButton,     &W::helpButton,     &W::closeHelpButton, &W::helpText,
    &W::portBox,       &W::baudBox,        &W::passwordBox,    &W::sampleTimeBox,   &W::deviceCodeBox,
    &W::label1Box,     &W::duty0Button,    &W::duty100Button,  &W::typedDutyBox,    &W::sendButton,
    PresetButton{0},   PresetButton{1},    PresetButton{2},    PresetButton{3},     PresetButton{4},
    PresetButton{5},   PresetButton{6},    &W::duty50Button};
// clang-format on

} // namespace
