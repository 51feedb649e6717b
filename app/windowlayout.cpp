#include "app/windowlayout.h"

#include "app/colors.h"

#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

enum class Kind { Label, Button, Frame, Edit, MultiEdit };
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

struct Row
{
    Kind kind;
    const char *name;
    const char *parent; // nullptr: the window
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

using K = Kind;
using F = Face;
using namespace Colors;

// Parents come before their children.
// clang-format off
const Row kLayout[] = {
    // the window
    {K::Label, "statusLabel", nullptr, "--", 49, 7, 485, 24, F::Medium, dflt, dflt, kBorder | kCentred},
    {K::Button, "setButton", nullptr, "Set", 7, 7, 36, 24, F::MediumBold, fixed(Magenta), dflt, kColoured},
    {K::Frame, "controlPanel", nullptr, "PV1:", 7, 42, 526, 134, F::SmallBold, fixed(Black), fixed(LightYellow), kDisabled},
    {K::Button, "helpButton", nullptr, "Hlp", 7, 189, 36, 22, F::MediumBold, inactiveTitle, dflt, kColoured},
    {K::Label, "deviceLabel", nullptr, "???", 49, 189, 484, 22, F::Medium, fixed(Black), fixed(Yellow), kBorder | kCentred},
    {K::Frame, "helpPanel", nullptr, "Help:", 7, 7, 528, 204, F::Small, highlight, fixed(White), kHidden},
    {K::Frame, "settingsPanel", nullptr, "Settings:", 7, 7, 526, 204, F::SmallBold, fixed(DarkRed), fixed(White), kHidden},
    // the control panel
    {K::Label, "dutyDisplay", "controlPanel", "-", 7, 21, 134, 43, F::Large, fixed(Black), fixed(Red), kBorder | kCentred},
    {K::Label, "dutyCaption", "controlPanel", "Pumpa2:", 7, 77, 134, 29, F::SmallBold, fixed(LightYellow), dflt, kCentred},
    {K::Button, "duty100Button", "controlPanel", "100%", 154, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "duty50Button", "controlPanel", "50%", 154, 63, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "duty0Button", "controlPanel", "0%", 154, 105, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Frame, "typedDutyFrame", "controlPanel", "Set(0-100%):", 217, 14, 85, 113, F::SmallBold, fixed(Black), fixed(Green), 0},
    {K::Edit, "typedDutyBox", "typedDutyFrame", "10", 14, 21, 57, 19, F::MediumBold, dflt, dflt, kCentred},
    {K::Button, "sendButton", "typedDutyFrame", "Send", 7, 70, 71, 29, F::MediumBold, fixed(Green), dflt, kColoured},
    {K::Frame, "presetFrame", "controlPanel", "Set Pwm Freq.(Hz):", 308, 14, 211, 113, F::SmallBold, fixed(Black), highlight, 0},
    {K::Button, "presetButton1", "presetFrame", "31372", 14, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton2", "presetFrame", "3921", 77, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton3", "presetFrame", "980", 140, 21, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton4", "presetFrame", "490", 14, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton5", "presetFrame", "245", 77, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton6", "presetFrame", "122", 140, 49, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    {K::Button, "presetButton7", "presetFrame", "30.6", 14, 77, 57, 22, F::MediumBold, dflt, dflt, kColoured},
    // the help panel
    {K::MultiEdit, "helpText", "helpPanel", kHelpText, 7, 14, 492, 127, F::Small, dflt, dflt, 0},
    {K::Button, "closeHelpButton", "helpPanel", "Close", 413, 154, 85, 24, F::Medium, inactiveTitle, dflt, kColoured},
    // the settings panel
    {K::Frame, "connectionFrame", "settingsPanel", "COM:    Baud:       DevPas:   STime:      ucApp:", 7, 14, 491, 36, F::Small, dflt, dflt, 0},
    {K::Edit, "portBox", "connectionFrame", "-", 7, 14, 36, 16, F::Small, dflt, dflt, kCentred},
    {K::Edit, "baudBox", "connectionFrame", "-", 49, 14, 43, 16, F::Small, dflt, dflt, kCentred},
    {K::Edit, "passwordBox", "connectionFrame", "-", 98, 14, 43, 16, F::Small, dflt, dflt, kCentred},
    {K::Edit, "sampleTimeBox", "connectionFrame", "-", 147, 14, 43, 16, F::Small, dflt, dflt, kCentred | kDisabled},
    {K::Edit, "deviceCodeBox", "connectionFrame", "-", 196, 14, 134, 16, F::Small, dflt, dflt, 0},
    {K::Frame, "labelsFrame", "settingsPanel", "MyLabels:", 7, 56, 491, 64, F::Small, dflt, dflt, 0},
    {K::Frame, "label1Frame", "labelsFrame", "MyLabel1:", 7, 14, 106, 43, F::Small, dflt, dflt, 0},
    {K::Edit, "label1Box", "label1Frame", "Text2", 7, 14, 92, 19, F::Small, dflt, dflt, 0},
    {K::Button, "saveButton", "settingsPanel", "SAVE-CLOSE", 392, 140, 106, 29, F::Small, dflt, dflt, 0},
};
// clang-format on

// Tab order among the controls the user can reach.
const char *const kTabOrder[] = {
    "setButton",     "saveButton",    "helpButton",    "closeHelpButton", "helpText",      "portBox",
    "baudBox",       "passwordBox",   "sampleTimeBox", "deviceCodeBox",   "label1Box",     "duty0Button",
    "duty100Button", "typedDutyBox",  "sendButton",    "presetButton1",   "presetButton2", "presetButton3",
    "presetButton4", "presetButton5", "presetButton6", "presetButton7",   "duty50Button"};

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

// A palette with every role set, so a control does not inherit its frame's colours.
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

QWidget *create(const Row &row, QWidget *parent)
{
    const QPalette app = QApplication::palette();
    const QColor back = colourOf(row.back, Colors::buttonFace());
    const QColor fore = colourOf(row.fore, app.color(QPalette::ButtonText));
    QWidget *w = nullptr;
    switch (row.kind) {
    case Kind::Label: {
        auto *label = new QLabel(QString::fromLatin1(row.caption), parent);
        label->setTextFormat(Qt::PlainText); // device and file texts are shown, never interpreted
        label->setPalette(ownPalette());
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
        w = label;
        break;
    }
    case Kind::Button: {
        auto *button = new QPushButton(QString::fromLatin1(row.caption), parent);
        button->setPalette(ownPalette());
        if (row.flags & kColoured)
            setButtonBackColor(button, back);
        button->setAutoDefault(false);
        w = button;
        break;
    }
    case Kind::Frame: {
        auto *frame = new QGroupBox(QString::fromLatin1(row.caption), parent);
        frame->setPalette(ownPalette());
        setFrameColors(frame, back, fore);
        QPalette pal = frame->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            pal.setColor(group, QPalette::Text, fore); // the title is drawn in Text under Fusion
            pal.setColor(group, QPalette::WindowText, fore);
        }
        frame->setPalette(pal);
        w = frame;
        break;
    }
    case Kind::Edit: {
        auto *edit = new QLineEdit(QString::fromLatin1(row.caption), parent);
        edit->setPalette(ownPalette());
        edit->setAlignment((row.flags & kCentred) ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        edit->setTextMargins(0, 0, 0, 0);
        w = edit;
        break;
    }
    case Kind::MultiEdit: {
        auto *text = new QPlainTextEdit(parent);
        text->setPalette(ownPalette());
        text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        text->setWordWrapMode(QTextOption::WordWrap);
        text->setReadOnly(true); // edits would never be kept anyway
        text->setTabChangesFocus(true);
        // Shown with its stored line breaks; the CR of each CR LF is not a glyph here.
        text->setPlainText(
            QString::fromLatin1(row.caption).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        w = text;
        break;
    }
    }
    w->setObjectName(QString::fromLatin1(row.name));
    w->setFont(fontFor(row.face));
    w->setGeometry(row.left, row.top, row.width, row.height);
    if (row.flags & kDisabled)
        w->setEnabled(false);
    if (row.flags & kHidden)
        w->hide();
    return w;
}

template <typename T> T *get(const QHash<QString, QWidget *> &all, const char *name)
{
    auto *w = qobject_cast<T *>(all.value(QLatin1String(name)));
    Q_ASSERT_X(w, "buildWindowWidgets", name);
    return w;
}

} // namespace

WindowWidgets buildWindowWidgets(QWidget *window)
{
    QHash<QString, QWidget *> all;
    for (const Row &row : kLayout) {
        QWidget *parent = row.parent ? all.value(QLatin1String(row.parent)) : window;
        Q_ASSERT(parent);
        all.insert(QLatin1String(row.name), create(row, parent));
    }
    // Overlay panels lie above everything else when shown.
    all.value(QStringLiteral("helpPanel"))->raise();
    all.value(QStringLiteral("settingsPanel"))->raise();

    for (size_t i = 1; i < std::size(kTabOrder); ++i)
        QWidget::setTabOrder(all.value(QLatin1String(kTabOrder[i - 1])), all.value(QLatin1String(kTabOrder[i])));

    WindowWidgets w;
    w.statusLabel = get<QLabel>(all, "statusLabel");
    w.setButton = get<QPushButton>(all, "setButton");
    w.helpButton = get<QPushButton>(all, "helpButton");
    w.deviceLabel = get<QLabel>(all, "deviceLabel");
    w.controlPanel = get<QGroupBox>(all, "controlPanel");
    w.dutyDisplay = get<QLabel>(all, "dutyDisplay");
    w.dutyCaption = get<QLabel>(all, "dutyCaption");
    w.duty100Button = get<QPushButton>(all, "duty100Button");
    w.duty50Button = get<QPushButton>(all, "duty50Button");
    w.duty0Button = get<QPushButton>(all, "duty0Button");
    w.typedDutyBox = get<QLineEdit>(all, "typedDutyBox");
    w.sendButton = get<QPushButton>(all, "sendButton");
    for (size_t i = 0; i < w.presetButtons.size(); ++i)
        w.presetButtons[i] = get<QPushButton>(all, qPrintable(QStringLiteral("presetButton%1").arg(i + 1)));
    w.helpPanel = get<QGroupBox>(all, "helpPanel");
    w.helpText = get<QPlainTextEdit>(all, "helpText");
    w.closeHelpButton = get<QPushButton>(all, "closeHelpButton");
    w.settingsPanel = get<QGroupBox>(all, "settingsPanel");
    w.portBox = get<QLineEdit>(all, "portBox");
    w.baudBox = get<QLineEdit>(all, "baudBox");
    w.passwordBox = get<QLineEdit>(all, "passwordBox");
    w.sampleTimeBox = get<QLineEdit>(all, "sampleTimeBox");
    w.deviceCodeBox = get<QLineEdit>(all, "deviceCodeBox");
    w.label1Box = get<QLineEdit>(all, "label1Box");
    w.saveButton = get<QPushButton>(all, "saveButton");
    return w;
}
