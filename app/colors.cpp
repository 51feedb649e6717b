#include "app/colors.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

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

void setButtonBackColor(QPushButton *button, const QColor &back)
{
    const QColor border = back.darker(170);
    const QString sheet =
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid %2; }"
                       "QPushButton:pressed { background-color: %3; }"
                       "QPushButton:disabled { color: %4; }")
            .arg(back.name(), border.name(), back.darker(120).name(),
                 back.lightness() > 128 ? QStringLiteral("#8a8a8a") : QStringLiteral("#5a5a5a"));
    if (button->styleSheet() != sheet) // re-applying a style sheet is expensive
        button->setStyleSheet(sheet);
}
