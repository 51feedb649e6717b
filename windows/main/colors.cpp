#include "windows/main/colors.h"

#include "windows/common/contrast.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOption>

#include <cmath>

namespace Colors {

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

QColor highlight()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Highlight);
}

// A quiet grey that still reads as part of the desktop's frame colours.
QColor inactiveTitle()
{
    return QApplication::palette().color(QPalette::Inactive, QPalette::Mid);
}

QColor ofStatus(StatusTone tone)
{
    switch (tone) {
    case StatusTone::Neutral:
        break;
    case StatusTone::Searching:
        return QColor::fromRgb(LightYellow);
    case StatusTone::Failed:
        return QColor::fromRgb(LightRed);
    case StatusTone::Receiving:
        return QColor::fromRgb(LightGreen);
    case StatusTone::Found:
        return QColor::fromRgb(Green);
    }
    return buttonFace();
}

} // namespace Colors

void setLabelColors(QLabel *label, const QColor &back, const QColor &text)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::Window, back);
    if (text.isValid())
        pal.setColor(QPalette::WindowText, text);
    label->setPalette(pal);
    label->setAutoFillBackground(true);
}

void setFrameColors(QWidget *frame, const QColor &back, const QColor &text)
{
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::WindowText, text);
    frame->setPalette(pal);
    frame->setAutoFillBackground(true);
}

namespace {

// A button drawn flat in its colour, rather than with Fusion's bevel.
const char kFlatFace[] = "pwmFlatFace";

// Keyboard focus only: a click leaves the window as it was drawn.
bool showsFocus(const QStyleOption *option)
{
    return (option->state & QStyle::State_HasFocus) && (option->state & QStyle::State_KeyboardFocusChange);
}

// Fusion's buttons with the bevel replaced by a flat face in the button's
// own Button colour, darker while pressed, and a one-pixel border a shade
// darker. One shared style: a style sheet per button did the same at several
// times the cost when the window is built.
class FlatButtonStyle final : public QProxyStyle
{
public:
    FlatButtonStyle() : QProxyStyle(QStringLiteral("Fusion")) {}

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_ShapedFrame) {
            drawFrameWithFocus(option, painter, widget);
            return;
        }
        if (element != CE_PushButtonBevel) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QColor face = option->palette.color(QPalette::Button);
        if (widget && !widget->property(kFlatFace).toBool()) { // SAVE-CLOSE keeps Fusion's look
            QProxyStyle::drawControl(element, option, painter, widget);
            if (showsFocus(option))
                drawFocusRing(painter, option->rect, face);
            return;
        }
        painter->save();
        painter->fillRect(option->rect, option->state & State_Sunken ? face.darker(120) : face);
        painter->setPen(face.darker(170));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
        if (showsFocus(option))
            drawFocusRing(painter, option->rect, face);
    }

    // The status and device lines, reached by F6, show their focus the same way.
    void drawFrameWithFocus(const QStyleOption *option, QPainter *painter, const QWidget *widget) const
    {
        QProxyStyle::drawControl(CE_ShapedFrame, option, painter, widget);
        if (showsFocus(option) && widget)
            drawFocusRing(painter, option->rect, widget->palette().color(widget->backgroundRole()));
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if (element == PE_PanelLineEdit && showsFocus(option))
            drawFocusRing(painter, option->rect, option->palette.color(QPalette::Base), 1);
    }
};

} // namespace

// Two rings of 2 px, black and white: the inner one in whichever stands out
// more against the face, so one of them meets 3:1 with the face and the other
// with whatever lies around the control.
void drawFocusRing(QPainter *painter, const QRect &rect, const QColor &face, int rings)
{
    const bool lightFace = relativeLuminance(face) > 0.179; // where black and white contrast alike
    const QColor inner = lightFace ? Qt::black : Qt::white;
    const QColor outer = lightFace ? Qt::white : Qt::black;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    const auto ring = [painter](const QRect &r, const QColor &colour) {
        painter->setPen(QPen(colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter->drawRect(QRectF(r).adjusted(1, 1, -1, -1));
    };
    if (rings > 1) {
        ring(rect, outer);
        ring(rect.adjusted(2, 2, -2, -2), inner);
    } else {
        ring(rect, inner);
    }
    painter->restore();
}

namespace {

QStyle *flatButtonStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = new FlatButtonStyle;
        style->setParent(qApp); // goes with the application
    }
    return style;
}

} // namespace

void useSharedStyle(QWidget *widget)
{
    widget->setStyle(flatButtonStyle());
}

void setButtonBackColor(QPushButton *button, const QColor &back)
{
    QPalette pal = button->palette();
    if (button->style() == flatButtonStyle() && pal.color(QPalette::Button) == back)
        return; // a palette change repaints the button and its frame
    pal.setColor(QPalette::Button, back);
    // Greyed text that stays readable on a light or a dark face.
    pal.setColor(QPalette::Disabled, QPalette::ButtonText,
                 back.lightness() > 128 ? QColor(0x8a, 0x8a, 0x8a) : QColor(0x5a, 0x5a, 0x5a));
    button->setPalette(pal);
    button->setProperty(kFlatFace, true);
    button->setStyle(flatButtonStyle());
}
