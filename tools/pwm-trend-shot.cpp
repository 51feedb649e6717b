// For screenshots of the trend window only: the program wired as main.cpp
// wires it, with the trend window opened at start beside the panel (and,
// with --record FILE, recording on). Never installed.
//
// With made-up samples instead, the trend window alone over a store of its
// own, then keys as a user would press them on the chart:
//   --fill N       N series of a sample a second for ten minutes
//   --gap          one series with 25 s of silence in it
//   --stacked      the stacked view; --scroll K: K strips down
//   --zoom K       + pressed K times; --cursor K: Shift+Right K times
//   --range LO HI  the value axis fixed from LO to HI
//   --select ROW   that legend row selected: its series in front
//   --view FILE    a recording opened (Ctrl+O) instead of made-up samples
#include "app/panelprogram.h"
#include "link/systemserialport.h"
#include "trend/samplestore.h"
#include "windows/trend/recordingview.h"
#include "windows/trend/trendwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

void fill(SampleStore &store, int series, bool gap)
{
    const qint64 now = wireClockMSecs();
    for (int t = 0; t < 600; ++t)
        for (int n = 0; n < series; ++n) {
            const qint64 at = now - (600 - t) * 1000 + n * 7;
            if (gap && n == 0 && t >= 560 && t < 585)
                continue;
            const double value = 50 + (10 + n) * std::sin(t / (20.0 + 3 * n) + n) + (n % 5) * 30;
            const QByteArray line = QStringLiteral("S%1=").arg(n + 1, 2, 10, QLatin1Char('0')).toLatin1() +
                                    QByteArray::number(std::round(value * 100) / 100);
            store.add(WireLine::read(line, at));
        }
}

void press(QWidget *to, int key, Qt::KeyboardModifiers modifiers, int times)
{
    for (int i = 0; i < times; ++i) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(to, &down);
    }
}

int madeUp(QApplication &app, const QStringList &args)
{
    SampleStore store;
    const auto number = [&args](const QString &option, int fallback) {
        const qsizetype at = args.indexOf(option);
        return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
    };
    MessageBoxDialogs dialogs;
    std::unique_ptr<TrendWindow> own;
    TrendWindow *trend = nullptr;
    if (const qsizetype at = args.indexOf(u"--view"); at >= 0 && at + 1 < args.size()) {
        trend = RecordingView::open(args[at + 1], dialogs)->window();
    } else {
        fill(store, number(QStringLiteral("--fill"), 3), args.contains(u"--gap"));
        own = std::make_unique<TrendWindow>(store, dialogs, QStringLiteral("DUTY01"), QDir::tempPath());
        trend = own.get();
    }
    trend->setGeometry(trend->screen()->availableGeometry());
    trend->show();
    QTimer::singleShot(500, trend, [&] {
        if (args.contains(u"--stacked"))
            for (QComboBox *box : trend->findChildren<QComboBox *>())
                if (box->accessibleName() == u"View")
                    box->setCurrentIndex(1);
        if (const qsizetype at = args.indexOf(u"--range"); at >= 0 && at + 2 < args.size()) {
            for (QLineEdit *edit : trend->findChildren<QLineEdit *>()) {
                if (edit->accessibleName() == u"Lowest value")
                    edit->setText(args[at + 1]);
                else if (edit->accessibleName() == u"Highest value")
                    edit->setText(args[at + 2]);
            }
        }
        if (const int row = number(QStringLiteral("--select"), -1); row >= 0) {
            auto *legend = trend->findChild<QListView *>();
            legend->selectionModel()->select(legend->model()->index(row, 0),
                                             QItemSelectionModel::ClearAndSelect);
        }
        QWidget *chart = nullptr;
        for (QWidget *w : trend->findChildren<QWidget *>())
            if (w->accessibleName() == u"Trend chart")
                chart = w;
        chart->setFocus();
        press(chart, Qt::Key_Down, Qt::NoModifier, number(QStringLiteral("--scroll"), 0));
        press(chart, Qt::Key_Plus, Qt::NoModifier, number(QStringLiteral("--zoom"), 0));
        press(chart, Qt::Key_Right, Qt::ShiftModifier, number(QStringLiteral("--cursor"), 0));
    });
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1 && args[1] != u"--record")
        return madeUp(app, args);
    const ExecutableInfo exe = ExecutableInfo::fromArgv0(QString::fromLocal8Bit(argv[0]));
    SystemSerialPort port(exe.dir);
    MessageBoxDialogs dialogs;
    PanelProgram program(port, dialogs, exe);
    dialogs.setOwnerWindow(&program.window());
    MainWindow &window = program.window();
    window.show();
    TrendWindow &trend = program.trend().showTrend();
    // --record FILE: recording on from the start, for a sample of the rows.
    if (args.size() == 3 && args[1] == u"--record")
        program.recorder().start(args[2]);
    // No window manager in a virtual display: the trend window fills the
    // screen's lower part, the panel stays visible above it.
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.left(), screen.top());
    const int top = screen.top() + window.frameGeometry().height() + 8;
    trend.setGeometry(screen.left(), top, screen.width(), screen.bottom() - top);
    return app.exec();
}
