#include "windows/main/windowlayout.h"

#include "windows/main/colors.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <variant>

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

QFont fontFor(Face face)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    // Set always, or a control would inherit its frame's weight.
    f.setBold(face == Face::SmallBold || face == Face::MediumBold);
    switch (face) {
    case Face::Small:
    case Face::SmallBold:
        f.setPointSizeF(8.25);
        break;
    case Face::Medium:
    case Face::MediumBold:
        f.setPointSizeF(9.75);
        break;
    case Face::Large:
        f.setPointSizeF(27.75);
        break;
    }
    return f;
}

QColor colourOf(Colour colour, const QColor &byDefault)
{
    switch (colour.paint) {
    case Paint::Default:
        return byDefault;
    case Paint::Highlight:
        return Colors::highlight();
    case Paint::InactiveTitle:
        return Colors::inactiveTitle();
    case Paint::Fixed:
        break;
    }
    return QColor::fromRgb(colour.rgb);
}

// A palette with every role set, so a control does not inherit its frame's
// colours. Made once per window: palettes are shared until changed.
QPalette ownPalette()
{
    const QPalette app = QApplication::palette();
    QPalette pal;
    for (int g = 0; g < QPalette::NColorGroups; ++g)
        for (int r = 0; r < QPalette::NColorRoles; ++r) {
            const auto group = QPalette::ColorGroup(g);
            const auto role = QPalette::ColorRole(r);
            pal.setColor(group, role, app.color(group, role));
        }
    return pal;
}

QLabel *makeLabel(const Row &row, QWidget *parent, const QPalette &own, const QColor &back,
                  const QColor &fore)
{
    auto *label = new QLabel(QString::fromLatin1(row.caption), parent);
    label->setTextFormat(Qt::PlainText); // device and file texts are shown, never interpreted
    label->setPalette(own);
    setLabelColors(label, back, fore);
    // A disabled frame keeps its labels readable.
    QPalette pal = label->palette();
    pal.setColor(QPalette::Disabled, QPalette::WindowText, fore);
    label->setPalette(pal);
    if (row.flags & kBorder) {
        label->setFrameShape(QFrame::Box);
        label->setFrameShadow(QFrame::Plain);
        label->setLineWidth(1);
        label->setIndent(0); // a framed label would otherwise push its text half an "x" off the top
    }
    label->setAlignment((row.flags & kCentred) ? Qt::AlignHCenter | Qt::AlignTop
                                               : Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton *makeButton(const Row &row, QWidget *parent, const QPalette &own, const QColor &back)
{
    auto *button = new QPushButton(QString::fromLatin1(row.caption), parent);
    button->setPalette(own);
    if (row.flags & kColoured)
        setButtonBackColor(button, back);
    button->setAutoDefault(false);
    return button;
}

QGroupBox *makeFrame(const Row &row, QWidget *parent, const QPalette &own, const QColor &back,
                     const QColor &fore)
{
    auto *frame = new QGroupBox(QString::fromLatin1(row.caption), parent);
    frame->setPalette(own);
    setFrameColors(frame, back, fore);
    QPalette pal = frame->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Text, fore); // the title is drawn in Text under Fusion
        pal.setColor(group, QPalette::WindowText, fore);
    }
    frame->setPalette(pal);
    return frame;
}

QLineEdit *makeEdit(const Row &row, QWidget *parent, const QPalette &own)
{
    auto *edit = new QLineEdit(QString::fromLatin1(row.caption), parent);
    edit->setPalette(own);
    edit->setAlignment((row.flags & kCentred) ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    edit->setTextMargins(0, 0, 0, 0);
    return edit;
}

QPlainTextEdit *makeMultiEdit(const Row &row, QWidget *parent, const QPalette &own)
{
    auto *text = new QPlainTextEdit(parent);
    text->setPalette(own);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setWordWrapMode(QTextOption::WordWrap);
    text->setReadOnly(true); // edits would never be kept anyway
    text->setTabChangesFocus(true);
    // Shown with its stored line breaks; the CR of each CR LF is not a glyph here.
    text->setPlainText(QString::fromLatin1(row.caption).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    return text;
}

template <class... F> struct Overloaded : F...
{
    using F::operator()...;
};
template <class... F> Overloaded(F...) -> Overloaded<F...>;

// The widget a slot names, once built.
QWidget *widgetIn(const W &w, const Slot &slot)
{
    return std::visit(
        Overloaded{[&w](PresetButton p) -> QWidget * { return w.presetButtons[size_t(p.index)]; },
                   [&w](auto member) -> QWidget * { return w.*member; }},
        slot);
}

// Builds the row's widget on parent and puts it in its slot of w.
QWidget *create(const Row &row, QWidget *parent, const QPalette &own, W &w)
{
    const QColor back = colourOf(row.back, Colors::buttonFace());
    const QColor fore = colourOf(row.fore, QApplication::palette().color(QPalette::ButtonText));
    QWidget *made = std::visit(
        Overloaded{
            [&](QLabel *W::*m) -> QWidget * { return w.*m = makeLabel(row, parent, own, back, fore); },
            [&](QPushButton *W::*m) -> QWidget * { return w.*m = makeButton(row, parent, own, back); },
            [&](PresetButton p) -> QWidget * {
                return w.presetButtons[size_t(p.index)] = makeButton(row, parent, own, back);
            },
            [&](QGroupBox *W::*m) -> QWidget * { return w.*m = makeFrame(row, parent, own, back, fore); },
            [&](QLineEdit *W::*m) -> QWidget * { return w.*m = makeEdit(row, parent, own); },
            [&](QPlainTextEdit *W::*m) -> QWidget * { return w.*m = makeMultiEdit(row, parent, own); },
        },
        row.slot);
    made->setObjectName(QString::fromLatin1(row.name));
    made->setFont(fontFor(row.face));
    made->setGeometry(row.left, row.top, row.width, row.height);
    if (row.flags & kDisabled)
        made->setEnabled(false);
    if (row.flags & kHidden)
        made->hide();
    return made;
}

} // namespace

WindowWidgets buildWindowWidgets(QWidget *window)
{
    WindowWidgets w;
    const QPalette own = ownPalette();
    // Parents come first in the table, so each is built before its children.
    for (const Row &row : kLayout)
        create(row, row.parent ? w.*row.parent : window, own, w);
    // Overlay panels lie above everything else when shown.
    w.helpPanel->raise();
    w.settingsPanel->raise();
    for (size_t i = 1; i < std::size(kTabOrder); ++i)
        QWidget::setTabOrder(widgetIn(w, kTabOrder[i - 1]), widgetIn(w, kTabOrder[i]));
    return w;
}
