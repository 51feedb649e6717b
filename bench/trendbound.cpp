// The trend at the store's bound: 64 names of 100,000 samples held (62 of
// them A0 … A61: the read-backs' SV01 and SV02 take two of the 64 places). One
// repaint on "Everything held"; the window shown and idle; a flood into the
// full store with a click on the panel; Export CSV of it all; what the store
// and its summary take.
#include "benchmarks.h"
#include "harness.h"
#include "trend/sampleexport.h"
#include "trend/samplestore.h"
#include "trendrig.h"
#include "windows/main/windowlayout.h"
#include "windows/trend/trendchart.h"
#include "windows/trend/trendwindow.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>

#include <malloc.h>
#include <mutex>

namespace bench {
namespace {

constexpr int kBoundNames = int(SampleStore::kMaxSeries);
constexpr int kHeld = int(SampleStore::kMaxSamplesPerSeries);

double residentMb()
{
    return statusKb(QString::number(QCoreApplication::applicationPid()), "VmRSS") / 1024;
}

// The store filled to its bound through the session's own lineReceived, as the
// session reads each line: 6.4 million lines through the pty would take a
// minute. Ten per second per name for almost three hours, a noisy sawtooth.
void fill(Rig &rig)
{
    const qint64 start = wireClockMSecs() - qint64(kHeld) * 100;
    std::vector<QByteArray> names;
    for (int i = 0; i < kBoundNames; ++i)
        names.push_back('A' + QByteArray::number(i) + '=');
    for (int r = 0; r < kHeld; ++r)
        for (int i = 0; i < kBoundNames; ++i)
            emit rig.session().lineReceived(
                WireLine::read(names[size_t(i)] + QByteArray::number((r + i) % 100 + (r % 7) * 0.25),
                               start + qint64(r) * 100));
}

void memoryAtBound(const SampleStore &store, double grownMb)
{
    qsizetype summary = 0;
    for (const SampleStore::Series &s : store.series())
        summary += s.summary.bytes();
    const double summaryMb = double(summary) / (1 << 20);
    const double share = summaryMb / (grownMb - summaryMb) * 100;
    note(QStringLiteral("trend at the bound: %1 MB resident growth, of it %2 MB summary")
             .arg(grownMb)
             .arg(summaryMb));
    report(QStringLiteral("trend store at its bound (64 names x 100000), resident growth"), grownMb,
           QStringLiteral("MB"), QStringLiteral("<= 130"), grownMb <= 130);
    report(QStringLiteral("trend summary against the samples' memory"), share, QStringLiteral("%"),
           QStringLiteral("<= 25"), share <= 25);
}

// What the program takes of a core with the full store shown and nothing arriving.
void idleShown(std::chrono::milliseconds length)
{
    const IdleRun run = runIdleFor(length);
    const double percent = run.processCpuMs / double(length.count()) * 100;
    report(QStringLiteral("trend, 64 names x 100000 held, shown and idle: CPU"), percent,
           QStringLiteral("% of a core"), QStringLiteral("<= 1"), percent <= 1);
}

// A flood of the 64 names into the full store, each line dropping the oldest
// sample, while a thread clicks 50% every 150 ms: from the click's moment to
// its command written.
void floodWithClicks(Rig &rig, int lines)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(lines) * 10);
    for (int i = 0; i < lines; ++i)
        bytes += 'A' + QByteArray::number(i % kBoundNames) + '=' + QByteArray::number(i % 100) + '\r';
    std::mutex mutex;
    std::vector<Clock::time_point> clicked;
    std::vector<double> waits;
    QObject observer;
    QObject::connect(&rig.session(), &DeviceSession::commandWritten, &observer, [&](const WireLine &command) {
        const std::lock_guard lock(mutex);
        if (command.bytes.startsWith("SV01=50") && waits.size() < clicked.size())
            waits.push_back(ms(Clock::now() - clicked[waits.size()]));
    });
    std::atomic<bool> done{false};
    QPushButton *button = rig.widgets.duty50Button;
    std::thread clicker([&] {
        while (!done) {
            std::this_thread::sleep_for(150ms);
            {
                const std::lock_guard lock(mutex);
                clicked.push_back(Clock::now());
            }
            QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
        }
    });
    const auto [counted, seconds] = pour(rig, bytes, quint64(lines));
    done = true;
    clicker.join();
    runEventsFor(300ms); // the last click's command
    const qint64 lost = qint64(lines) - qint64(counted);
    if (lost != 0)
        markBroken();
    double worst = 0;
    for (const double w : waits)
        worst = std::max(worst, w);
    note(QStringLiteral("trend flood into the full store: %1 lines in %2 s, %3 clicks, %4 written")
             .arg(counted)
             .arg(seconds, 0, 'f', 3)
             .arg(clicked.size())
             .arg(waits.size()));
    report(QStringLiteral("trend, flood into the full store: click to wire, worst"), worst,
           QStringLiteral("ms"), QStringLiteral("<= 50"), worst <= 50 && !waits.empty());
    report(QStringLiteral("trend, flood into the full store: lines lost"), double(lost),
           QStringLiteral("lines"), QStringLiteral("0"), lost == 0);
}

// Export CSV of the full store with the trend shown: the window thread's
// worst lateness, the resident memory above where it started, the rows.
void exportAtBound(Rig &rig, const SampleStore &store)
{
    qint64 held = 0;
    for (const SampleStore::Series &s : store.series())
        held += qint64(s.samples.size());
    const QString path = rig.dir.filePath(QStringLiteral("export.csv"));
    malloc_trim(0);
    const double before = residentMb();
    double peak = before;
    LatenessProbe probe;
    probe.onTick = [&](Clock::time_point) { peak = std::max(peak, residentMb()); };
    SampleExport exporter(store);
    std::optional<SampleExport::Outcome> outcome;
    QObject::connect(&exporter, &SampleExport::finished, &exporter,
                     [&](SampleExport::Outcome o, const QString &) { outcome = o; });
    const Clock::time_point start = Clock::now();
    probe.start();
    if (!exporter.start(path).isEmpty())
        fatal(QStringLiteral("cannot export to ") + path);
    runEventsUntil([&] { return outcome.has_value(); }, 300s);
    probe.timer.stop();
    const double seconds = ms(Clock::now() - start) / 1e3;
    qint64 rows = -1;
    if (QFile file(path); file.open(QIODevice::ReadOnly)) {
        rows = 0;
        char buffer[1 << 16];
        for (qint64 n; (n = file.read(buffer, sizeof buffer)) > 0;)
            rows += std::count(buffer, buffer + n, '\n');
        rows -= 1; // the header
    }
    QFile::remove(path);
    if (outcome != SampleExport::Outcome::Written || rows != held)
        markBroken();
    note(QStringLiteral("trend export at the bound: %1 rows of %2 held in %3 s")
             .arg(rows)
             .arg(held)
             .arg(seconds, 0, 'f', 2));
    report(QStringLiteral("trend export at the bound: 10 ms timer worst lateness"), probe.latenessMs(),
           QStringLiteral("ms"), QStringLiteral("<= 50"), probe.latenessMs() <= 50);
    report(QStringLiteral("trend export at the bound: peak extra memory"), peak - before,
           QStringLiteral("MB"), QStringLiteral("<= 16"), peak - before <= 16);
    report(QStringLiteral("trend export at the bound: rows less samples held"), double(rows - held),
           QStringLiteral("rows"), QStringLiteral("0"), rows == held);
    report(QStringLiteral("trend export at the bound: time"), seconds, QStringLiteral("s"),
           QStringLiteral("-"), std::nullopt);
}

} // namespace

void benchTrendAtBound(std::chrono::milliseconds idleLength, int floodLines)
{
    Rig rig;
    rig.identify();
    malloc_trim(0);
    const double idle = residentMb();
    fill(rig);
    malloc_trim(0);
    const SampleStore &store = rig.program->samples();
    memoryAtBound(store, residentMb() - idle);

    TrendWindow &trend = openTrend(rig);
    trend.findChild<QComboBox *>()->setCurrentIndex(3); // everything held
    runEventsFor(300ms);
    // The chart itself: a repaint of the window may take the chart's last
    // picture from the backing store.
    const double chart = worstRepaintMs(*trend.findChild<TrendChart *>(), 5);
    const double window = worstRepaintMs(trend, 5);
    report(QStringLiteral("trend, 64 names x 100000 held, everything held: chart repaint"), chart,
           QStringLiteral("ms"), QStringLiteral("<= 5"), chart <= 5);
    report(QStringLiteral("trend, 64 names x 100000 held, everything held: window repaint"), window,
           QStringLiteral("ms"), QStringLiteral("-"), std::nullopt);
    idleShown(idleLength);
    exportAtBound(rig, store);
    floodWithClicks(rig, floodLines);
}

} // namespace bench
