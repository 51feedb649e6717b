#include "app/mainformcontrols.h"
#include "app/vbcolor.h"

#include <QApplication>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cmath>

namespace {

enum class Kind { Label, Button, Frame, Edit, MultiEdit };
enum class Face { SansS, SansS975, SansS975Bold, SansSBold, Arial975, Arial2775, Arial24 };

// Look flags
constexpr int kBorder = 1, kCentred = 2, kHidden = 4, kDisabled = 8, kGraphical = 16;
constexpr quint32 kDefault = 0xFFFFFFFE;

struct Row
{
    Kind kind;
    const char *name;
    const char *parent; // nullptr: the window
    const char *caption;
    int left, top, width, height; // twips
    Face face;
    quint32 back;
    quint32 fore;
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
constexpr quint32 D = kDefault;

// Parents come before their children. Positions are twips inside the parent.
// clang-format off
const Row kLayout[] = {
    // the window
    {K::Label, "lblStatus", nullptr, "--", 735, 105, 7275, 360, F::Arial975, D, D, kBorder | kCentred},
    {K::Button, "cmdSet", nullptr, "Set", 105, 105, 540, 360, F::SansS975Bold, 0xFF00FF, D, kGraphical},
    {K::Frame, "frmTemp(1)", nullptr, "PV1:", 105, 630, 7890, 2010, F::SansSBold, 0x000000, 0xC0FFFF, kDisabled},
    {K::Button, "cmdHelp", nullptr, "Hlp", 105, 2835, 540, 330, F::SansS975Bold, VbColor::InactiveTitleBar, D,
     kGraphical},
    {K::Label, "lblDevCode", nullptr, "???", 735, 2835, 7260, 330, F::SansS975, 0x000000, 0x00FFFF,
     kBorder | kCentred},
    {K::Frame, "frmHelp", nullptr, "Help:", 105, 105, 7920, 3060, F::SansS, VbColor::Highlight, 0xFFFFFF, kHidden},
    {K::Frame, "frmSet", nullptr, "Settings:", 105, 105, 7890, 3060, F::SansSBold, 0x0000C0, 0xFFFFFF, kHidden},
    {K::Frame, "frmNevidi", nullptr, "frmNevidise:", 1050, 525, 5790, 2430, F::SansS, D, D, kHidden},
    // the control panel
    {K::Label, "lblTemp(1)", "frmTemp(1)", "-", 105, 315, 2010, 645, F::Arial2775, 0x000000, 0x0000FF,
     kBorder | kCentred},
    {K::Label, "lblTempName(1)", "frmTemp(1)", "Pumpa2:", 105, 1155, 2010, 435, F::SansSBold, 0xC0FFFF, D, kCentred},
    {K::Button, "cmd100P", "frmTemp(1)", "100%", 2310, 315, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmd50P", "frmTemp(1)", "50%", 2310, 945, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmd0P", "frmTemp(1)", "0%", 2310, 1575, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Frame, "Frame1", "frmTemp(1)", "Set(0-100%):", 3255, 210, 1275, 1695, F::SansSBold, 0x000000, 0x00C000, 0},
    {K::Edit, "txtSV01", "Frame1", "10", 210, 315, 855, 285, F::SansS975Bold, D, D, kCentred},
    {K::Button, "cmdSV01", "Frame1", "Send", 105, 1050, 1065, 435, F::SansS975Bold, 0x00C000, D, kGraphical},
    {K::Frame, "cmdF2", "frmTemp(1)", "Set Pwm Freq.(Hz):", 4620, 210, 3165, 1695, F::SansSBold, 0x000000,
     VbColor::Highlight, 0},
    {K::Button, "cmdFpwm1", "cmdF2", "31372", 210, 315, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm2", "cmdF2", "3921", 1155, 315, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm3", "cmdF2", "980", 2100, 315, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm4", "cmdF2", "490", 210, 735, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm5", "cmdF2", "245", 1155, 735, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm6", "cmdF2", "122", 2100, 735, 855, 330, F::SansS975Bold, D, D, kGraphical},
    {K::Button, "cmdFpwm7", "cmdF2", "30.6", 210, 1155, 855, 330, F::SansS975Bold, D, D, kGraphical},
    // the help panel
    {K::MultiEdit, "Text1", "frmHelp", kHelpText, 105, 210, 7380, 1905, F::SansS, D, D, 0},
    {K::Button, "cmdCloseHelp", "frmHelp", "Close", 6195, 2310, 1275, 360, F::SansS975, VbColor::InactiveTitleBar,
     D, kGraphical},
    // the settings panel
    {K::Frame, "Frame2", "frmSet", "COM:    Baud:       DevPas:   STime:      ucApp:", 105, 210, 7365, 540, F::SansS,
     D, D, 0},
    {K::Edit, "txtSet1(1)", "Frame2", "-", 105, 210, 540, 240, F::SansS, D, D, kCentred},
    {K::Edit, "txtSet1(2)", "Frame2", "-", 735, 210, 645, 240, F::SansS, D, D, kCentred},
    {K::Edit, "txtSet1(3)", "Frame2", "-", 1470, 210, 645, 240, F::SansS, D, D, kCentred},
    {K::Edit, "txtSet1(4)", "Frame2", "-", 2205, 210, 645, 240, F::SansS, D, D, kCentred | kDisabled},
    {K::Edit, "txtSet1(5)", "Frame2", "-", 2940, 210, 2010, 240, F::SansS, D, D, 0},
    {K::Frame, "Frame3", "frmSet", "MyLabels:", 105, 840, 7365, 960, F::SansS, D, D, 0},
    {K::Frame, "frmTempName(1)", "Frame3", "MyLabel1:", 105, 210, 1590, 645, F::SansS, D, D, 0},
    {K::Edit, "txtTempName(1)", "frmTempName(1)", "Text2", 105, 210, 1380, 285, F::SansS, D, D, 0},
    {K::Button, "cmdExit", "frmSet", "SAVE-CLOSE", 5880, 2100, 1590, 435, F::SansS, D, D, 0},
    // never shown: state that the handlers read and write like the visible members
    {K::Frame, "frmTemp(2)", "frmNevidi", "PV2:", 2415, 840, 1905, 2010, F::SansSBold, 0x000000, 0xC0FFFF, kDisabled},
    {K::Frame, "frmTemp(3)", "frmNevidi", "PV2:", 3990, 315, 1905, 2010, F::SansSBold, 0x000000, 0xC0FFFF, kDisabled},
    {K::Frame, "frmTemp(4)", "frmNevidi", "PV2:", 3465, 525, 1905, 2010, F::SansSBold, 0x000000, 0xC0FFFF, kDisabled},
    {K::Label, "lblTemp(2)", "frmTemp(2)", "-", 105, 315, 1695, 645, F::Arial24, 0x000000, 0xFFFF00, kBorder | kCentred},
    {K::Label, "lblTemp(3)", "frmTemp(3)", "-", 105, 315, 1695, 645, F::Arial24, 0x000000, 0xFFFF00, kBorder | kCentred},
    {K::Label, "lblTemp(4)", "frmTemp(4)", "-", 105, 315, 1695, 645, F::Arial24, 0x000000, 0xFFFF00, kBorder | kCentred},
    {K::Label, "lblTempName(2)", "frmTemp(2)", "Pumpa2:", 105, 1155, 1695, 225, F::SansSBold, 0xFFFFFF, D, kCentred},
    {K::Label, "lblTempName(3)", "frmTemp(3)", "Pumpa2:", 105, 1155, 1695, 225, F::SansSBold, 0xFFFFFF, D, kCentred},
    {K::Label, "lblTempName(4)", "frmTemp(4)", "Pumpa2:", 105, 1155, 1695, 225, F::SansSBold, 0xFFFFFF, D, kCentred},
    {K::Frame, "frmTempName(2)", "frmNevidi", "MyLabel2:", 315, 1365, 1590, 645, F::SansS, D, D, 0},
    {K::Frame, "frmTempName(3)", "frmNevidi", "MyLabel3:", 210, 945, 1590, 645, F::SansS, D, D, 0},
    {K::Frame, "frmTempName(4)", "frmNevidi", "MyLabel4:", 210, 1680, 1590, 645, F::SansS, D, D, 0},
    {K::Edit, "txtTempName(2)", "frmTempName(2)", "Text2", 105, 210, 1380, 285, F::SansS, D, D, 0},
    {K::Edit, "txtTempName(3)", "frmTempName(3)", "Text2", 105, 210, 1380, 285, F::SansS, D, D, 0},
    {K::Edit, "txtTempName(4)", "frmTempName(4)", "Text2", 105, 210, 1380, 285, F::SansS, D, D, 0},
};
// clang-format on

// Tab order among the controls the user can reach.
const char *const kTabOrder[] = {"cmdSet",         "cmdExit",    "cmdHelp",    "cmdCloseHelp", "Text1",
                                 "txtSet1(1)",     "txtSet1(2)", "txtSet1(3)", "txtSet1(4)",   "txtSet1(5)",
                                 "txtTempName(1)", "cmd0P",      "cmd100P",    "txtSV01",      "cmdSV01",
                                 "cmdFpwm1",       "cmdFpwm2",   "cmdFpwm3",   "cmdFpwm4",     "cmdFpwm5",
                                 "cmdFpwm6",       "cmdFpwm7",   "cmd50P"};

int px(int twips)
{
    return int(std::lround(twips / 15.0));
}

// Liberation Sans stands in for both Arial (metric-compatible) and MS Sans Serif.
QFont fontFor(Face face)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setBold(false); // set explicitly, or a control would inherit its bold frame's weight
    switch (face) {
    case Face::SansS:
        f.setPointSizeF(8.25);
        break;
    case Face::SansSBold:
        f.setPointSizeF(8.25);
        f.setBold(true);
        break;
    case Face::SansS975:
        f.setPointSizeF(9.75);
        break;
    case Face::SansS975Bold:
        f.setPointSizeF(9.75);
        f.setBold(true);
        break;
    case Face::Arial975:
        f.setPointSizeF(9.75);
        break;
    case Face::Arial2775:
        f.setPointSizeF(27.75);
        break;
    case Face::Arial24:
        f.setPointSizeF(24);
        break;
    }
    return f;
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
    QWidget *w = nullptr;
    switch (row.kind) {
    case Kind::Label: {
        auto *label = new QLabel(QString::fromLatin1(row.caption), parent);
        label->setTextFormat(Qt::PlainText); // device and file texts are shown, never interpreted
        label->setPalette(ownPalette());
        const QColor back = vbColor(row.back == kDefault ? VbColor::ButtonFace : row.back, app);
        const QColor fore = row.fore == kDefault ? app.color(QPalette::ButtonText) : vbColor(row.fore, app);
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
        if (row.flags & kGraphical)
            setButtonBackColor(button, vbColor(row.back == kDefault ? VbColor::ButtonFace : row.back, app));
        button->setAutoDefault(false);
        w = button;
        break;
    }
    case Kind::Frame: {
        auto *frame = new QGroupBox(QString::fromLatin1(row.caption), parent);
        const QColor back = vbColor(row.back == kDefault ? VbColor::ButtonFace : row.back, app);
        const QColor fore = row.fore == kDefault ? app.color(QPalette::ButtonText) : vbColor(row.fore, app);
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
    w->setGeometry(px(row.left), px(row.top), px(row.width), px(row.height));
    if (row.flags & kDisabled)
        w->setEnabled(false);
    if (row.flags & kHidden)
        w->hide();
    return w;
}

template <typename T> T *get(const QHash<QString, QWidget *> &all, const QString &name)
{
    auto *w = qobject_cast<T *>(all.value(name));
    Q_ASSERT_X(w, "buildMainFormControls", qPrintable(name));
    return w;
}

} // namespace

MainFormControls buildMainFormControls(QWidget *form)
{
    QHash<QString, QWidget *> all;
    for (const Row &row : kLayout) {
        QWidget *parent = row.parent ? all.value(QString::fromLatin1(row.parent)) : form;
        Q_ASSERT(parent);
        all.insert(QString::fromLatin1(row.name), create(row, parent));
    }
    // Overlay panels lie above everything else when shown.
    all.value(QStringLiteral("frmHelp"))->raise();
    all.value(QStringLiteral("frmSet"))->raise();

    for (size_t i = 1; i < std::size(kTabOrder); ++i)
        QWidget::setTabOrder(all.value(QString::fromLatin1(kTabOrder[i - 1])),
                             all.value(QString::fromLatin1(kTabOrder[i])));

    auto idx = [](const char *base, int i) {
        return QStringLiteral("%1(%2)").arg(QLatin1String(base)).arg(i);
    };
    MainFormControls c;
    c.lblStatus = get<QLabel>(all, QStringLiteral("lblStatus"));
    c.cmdSet = get<QPushButton>(all, QStringLiteral("cmdSet"));
    c.cmdHelp = get<QPushButton>(all, QStringLiteral("cmdHelp"));
    c.lblDevCode = get<QLabel>(all, QStringLiteral("lblDevCode"));
    c.frmHelp = get<QGroupBox>(all, QStringLiteral("frmHelp"));
    c.frmSet = get<QGroupBox>(all, QStringLiteral("frmSet"));
    c.frmNevidi = get<QGroupBox>(all, QStringLiteral("frmNevidi"));
    for (int i = 1; i <= 4; ++i) {
        c.frmTemp[i] = get<QGroupBox>(all, idx("frmTemp", i));
        c.lblTemp[i] = get<QLabel>(all, idx("lblTemp", i));
        c.lblTempName[i] = get<QLabel>(all, idx("lblTempName", i));
        c.frmTempName[i] = get<QGroupBox>(all, idx("frmTempName", i));
        c.txtTempName[i] = get<QLineEdit>(all, idx("txtTempName", i));
    }
    c.frmTemp1 = c.frmTemp[1];
    c.cmd100P = get<QPushButton>(all, QStringLiteral("cmd100P"));
    c.cmd50P = get<QPushButton>(all, QStringLiteral("cmd50P"));
    c.cmd0P = get<QPushButton>(all, QStringLiteral("cmd0P"));
    c.Frame1 = get<QGroupBox>(all, QStringLiteral("Frame1"));
    c.txtSV01 = get<QLineEdit>(all, QStringLiteral("txtSV01"));
    c.cmdSV01 = get<QPushButton>(all, QStringLiteral("cmdSV01"));
    c.cmdF2 = get<QGroupBox>(all, QStringLiteral("cmdF2"));
    for (int i = 1; i <= 7; ++i)
        c.cmdFpwm[i] = get<QPushButton>(all, QStringLiteral("cmdFpwm%1").arg(i));
    c.Text1 = get<QPlainTextEdit>(all, QStringLiteral("Text1"));
    c.cmdCloseHelp = get<QPushButton>(all, QStringLiteral("cmdCloseHelp"));
    c.Frame2 = get<QGroupBox>(all, QStringLiteral("Frame2"));
    for (int i = 1; i <= 5; ++i)
        c.txtSet1[i] = get<QLineEdit>(all, idx("txtSet1", i));
    c.Frame3 = get<QGroupBox>(all, QStringLiteral("Frame3"));
    c.cmdExit = get<QPushButton>(all, QStringLiteral("cmdExit"));
    return c;
}

QString helpText()
{
    return QString::fromLatin1(kHelpText);
}
