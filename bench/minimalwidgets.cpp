// The floor for start-up: a Qt Widgets program that shows one label under
// Fusion and does nothing else. The start-up benchmark starts it beside the
// panel, so the two are compared in one run on one machine.
#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QLabel label(QStringLiteral("pwm-panel"));
    label.show();
    return app.exec();
}
