#include "windows/main/windowlayout.h"

#include "windows/main/colors.h"
#include "windows/main/windowlayouttable.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <variant>

namespace {

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
