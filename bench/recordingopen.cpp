// A night's recording opened in a trend window: 1,000,000 rows of 64 names
// loaded between events, the window thread's worst lateness meanwhile, and
// the memory it takes against what the live store needs for the same samples.
#include "benchmarks.h"
#include "harness.h"
#include "trend/csvrowformat.h"
#include "trend/samplestore.h"
#include "windows/trend/recordingview.h"
#include "windows/trend/trendwindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <malloc.h>

namespace bench {
namespace {

constexpr int kRecordedNames = 64;
constexpr qint64 kStart = 1796669980000;

QByteArray lineOf(int row)
{
    return "V" + QByteArray::number(row % kRecordedNames) + '=' + QByteArray::number((row * 7) % 1000) + ".5";
}

double ownResidentMb()
{
    malloc_trim(0);
    return statusKb(QString::number(QCoreApplication::applicationPid()), "VmRSS") / 1024;
}

} // namespace

void benchRecordingOpen(int rows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("night.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fatal(QStringLiteral("cannot write ") + path);
    CsvRowFormat format;
    QByteArray chunk = CsvRowFormat::header();
    for (int i = 0; i < rows; ++i) {
        chunk +=
            format.row(WireLine::read(lineOf(i), kStart + i * 10), i * 10, CsvRowFormat::Direction::Received);
        if (chunk.size() > (1 << 20) || i + 1 == rows)
            file.write(std::exchange(chunk, {}));
    }
    file.close();

    // What the live store needs for the same samples.
    double liveMb = 0;
    {
        const double before = ownResidentMb();
        SampleStore live;
        for (int i = 0; i < rows; ++i)
            live.add(WireLine::read(lineOf(i), kStart + i * 10));
        liveMb = ownResidentMb() - before;
    }

    SilentDialogs dialogs;
    {
        // Qt's first window loads fonts and the style once per program, as the
        // live panel's window does; what is measured is the recording's own.
        SampleStore empty;
        TrendWindow warmUp(empty, dialogs, QStringLiteral("warm-up"), dir.path());
        warmUp.show();
        QCoreApplication::processEvents();
    }
    const double before = ownResidentMb();
    LatenessProbe probe;
    probe.start();
    const Clock::time_point t0 = Clock::now();
    RecordingView *view = RecordingView::open(path, dialogs);
    bool loaded = false;
    QObject::connect(view, &RecordingView::loaded, view, [&loaded] { loaded = true; });
    if (!runEventsUntil([&] { return loaded; }, 120s))
        markBroken();
    const double seconds = ms(Clock::now() - t0) / 1000;
    const double lateness = probe.latenessMs();
    probe.timer.stop();
    const double openMb = ownResidentMb() - before;
    delete view;
    note(QStringLiteral("recording open: %1 rows (%2 MB) in %3 s; %4 MB against the live store's %5 MB")
             .arg(rows)
             .arg(double(QFileInfo(path).size()) / (1 << 20), 0, 'f', 1)
             .arg(seconds, 0, 'f', 2)
             .arg(openMb, 0, 'f', 1)
             .arg(liveMb, 0, 'f', 1));
    report(QStringLiteral("recording of %1 rows (64 names): opened").arg(rows), seconds, QStringLiteral("s"),
           QStringLiteral("<= 2"), seconds <= 2);
    report(QStringLiteral("recording open: window thread worst lateness"), lateness, QStringLiteral("ms"),
           QStringLiteral("<= 50"), lateness <= 50);
    report(QStringLiteral("recording open: resident memory against the live store's"), openMb / liveMb,
           QStringLiteral("x"), QStringLiteral("<= 1.5"), openMb / liveMb <= 1.5);
}

} // namespace bench
