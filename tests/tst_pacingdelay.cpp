#include "link/pacingdelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

using namespace std::chrono_literals;

namespace {

std::chrono::nanoseconds processorTime()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::chrono::nanoseconds elapsed(const QElapsedTimer &clock)
{
    return std::chrono::nanoseconds(clock.nsecsElapsed());
}

} // namespace

class TestPacingDelay : public QObject
{
    Q_OBJECT

private slots:
    void waitsAtLeastItsLength_data();
    void waitsAtLeastItsLength();
    void runsPendingEventsEvenWhenZero();
    void runsEventsArrivingDuringTheWait();
    void nestedDelaysEachKeepTheirDeadline();
    void usesLittleProcessorTime_data();
    void usesLittleProcessorTime();
};

void TestPacingDelay::waitsAtLeastItsLength_data()
{
    QTest::addColumn<std::chrono::milliseconds>("length");
    QTest::addRow("zero") << 0ms;
    QTest::addRow("one millisecond") << 1ms;
    QTest::addRow("the pacing length") << 50ms;
    QTest::addRow("a longer wait") << 120ms;
}

void TestPacingDelay::waitsAtLeastItsLength()
{
    QFETCH(std::chrono::milliseconds, length);
    QElapsedTimer clock;
    clock.start();
    pacingDelay(length);
    QVERIFY(elapsed(clock) >= length);
    QVERIFY(elapsed(clock) < length + 1s);
}

void TestPacingDelay::runsPendingEventsEvenWhenZero()
{
    bool ran = false;
    QMetaObject::invokeMethod(
        this, [&] { ran = true; }, Qt::QueuedConnection);
    pacingDelay(0ms);
    QVERIFY(ran);
}

void TestPacingDelay::runsEventsArrivingDuringTheWait()
{
    QElapsedTimer clock;
    clock.start();
    std::chrono::nanoseconds firedAt{-1};
    QTimer::singleShot(20ms, this, [&] { firedAt = elapsed(clock); });
    pacingDelay(60ms);
    QVERIFY(firedAt >= 20ms);
    QVERIFY(firedAt < 60ms);
}

void TestPacingDelay::nestedDelaysEachKeepTheirDeadline()
{
    QElapsedTimer clock;
    clock.start();
    std::chrono::nanoseconds innerStart{-1}, innerEnd{-1};
    bool innerSawEvent = false;
    QTimer::singleShot(10ms, this, [&] {
        innerStart = elapsed(clock);
        QMetaObject::invokeMethod(
            this, [&] { innerSawEvent = true; }, Qt::QueuedConnection);
        pacingDelay(100ms);
        innerEnd = elapsed(clock);
    });
    pacingDelay(50ms);
    const auto outerEnd = elapsed(clock);

    QVERIFY(innerStart >= 0ns);
    QVERIFY(innerSawEvent);
    QVERIFY(innerEnd - innerStart >= 100ms);
    // The outer wait ends only after the inner one has returned.
    QVERIFY(outerEnd >= innerEnd);

    // An inner wait shorter than the remaining outer one leaves the outer deadline intact.
    clock.restart();
    QTimer::singleShot(10ms, this, [&] { pacingDelay(5ms); });
    pacingDelay(50ms);
    QVERIFY(elapsed(clock) >= 50ms);
}

void TestPacingDelay::usesLittleProcessorTime_data()
{
    QTest::addColumn<bool>("quitting");
    QTest::addRow("while the application runs") << false;
    QTest::addRow("after the application was told to quit") << true;
}

void TestPacingDelay::usesLittleProcessorTime()
{
    QFETCH(bool, quitting);
    // Nested event loops refuse to run once exit() was called; the wait
    // must not turn into a busy loop then.
    if (quitting)
        QCoreApplication::exit(0);

    QElapsedTimer clock;
    clock.start();
    const auto before = processorTime();
    for (int i = 0; i < 5; ++i)
        pacingDelay(50ms);
    const auto used = processorTime() - before;
    QVERIFY(elapsed(clock) >= 250ms);
    QVERIFY2(used < 20ms, qPrintable(QStringLiteral("%1 ns of processor time").arg(used.count())));
}

QTEST_GUILESS_MAIN(TestPacingDelay)
#include "tst_pacingdelay.moc"
