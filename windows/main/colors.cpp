#include "windows/main/colors.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOption>

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
        if (element != CE_PushButtonBevel) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QColor face = option->palette.color(QPalette::Button);
        painter->save();
        painter->fillRect(option->rect, option->state & State_Sunken ? face.darker(120) : face);
        painter->setPen(face.darker(170));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
};

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
    button->setStyle(flatButtonStyle());
}
