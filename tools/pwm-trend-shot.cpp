// For screenshots of the trend window only: the program wired as main.cpp
// wires it, with the trend window opened at start beside the panel (and,
// with --record FILE, recording on). Never installed.
#include "app/panelprogram.h"
#include "link/systemserialport.h"
#include "windows/trend/trendwindow.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));
    SystemSerialPort port(exe.dir);
    MessageBoxDialogs dialogs;
    PanelProgram program(port, dialogs, exe);
    dialogs.setOwnerWindow(&program.window());
    MainWindow &window = program.window();
    window.show();
    TrendWindow &trend = program.trend().showTrend();
    // --record FILE: recording on from the start, for a sample of the rows.
    if (const QStringList args = QCoreApplication::arguments(); args.size() == 3 && args[1] == u"--record")
        program.recorder().start(args[2]);
    // No window manager in a virtual display: the trend window fills the
    // screen's lower part, the panel stays visible above it.
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.left(), screen.top());
    const int top = screen.top() + window.frameGeometry().height() + 8;
    trend.setGeometry(screen.left(), top, screen.width(), screen.bottom() - top);
    return app.exec();
}
