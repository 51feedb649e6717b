// The pause after every command: long enough, events keep running, and the processor stays idle.
#include "link/pacingdelay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <ctime>

using namespace std::chrono_literals;

class TestPacingDelay : public QObject
{
    Q_OBJECT

private slots:
    void waitsItsLengthAndRunsEvents_data()
    {
        QTest::addColumn<int>("length");
        QTest::addRow("zero") << 0;
        QTest::addRow("the pacing length") << 50;
    }
    void waitsItsLengthAndRunsEvents()
    {
        QFETCH(int, length);
        QElapsedTimer clock;
        clock.start();
        bool queuedRan = false;
        qint64 timerAt = -1;
        QObject context; // no timer outlives the test
        QMetaObject::invokeMethod(
            &context, [&] { queuedRan = true; }, Qt::QueuedConnection);
        QTimer::singleShot(length / 2, &context, [&] { timerAt = clock.elapsed(); });
        pacingDelay(std::chrono::milliseconds(length));
        QVERIFY(clock.elapsed() >= length && clock.elapsed() < length + 1000);
        QVERIFY(queuedRan);
        QVERIFY(timerAt >= length / 2); // during the wait, not after it
    }

    void nestedDelaysEachKeepTheirDeadline()
    {
        QElapsedTimer clock;
        clock.start();
        qint64 innerStart = -1, innerEnd = -1;
        QObject context;
        QTimer::singleShot(10, &context, [&] {
            innerStart = clock.elapsed();
            pacingDelay(100ms);
            innerEnd = clock.elapsed();
        });
        QTimer::singleShot(120, &context, [] { pacingDelay(5ms); }); // ends before the outer one
        pacingDelay(150ms);
        QVERIFY(innerStart >= 0 && innerEnd - innerStart >= 100);
        QVERIFY(clock.elapsed() >= 150);
    }

    void usesLittleProcessorTime_data()
    {
        QTest::addColumn<bool>("quitting");
        QTest::addRow("while the application runs") << false;
        QTest::addRow("after the application was told to quit") << true;
    }
    void usesLittleProcessorTime()
    {
        QFETCH(bool, quitting);
        if (quitting) // nested event loops then refuse to run
            QCoreApplication::exit(0);
        QElapsedTimer clock;
        clock.start();
        const std::clock_t before = std::clock();
        for (int i = 0; i < 5; ++i)
            pacingDelay(50ms);
        const double used = double(std::clock() - before) / CLOCKS_PER_SEC;
        QVERIFY(clock.elapsed() >= 250);
        QVERIFY2(used < 0.02, qPrintable(QStringLiteral("%1 s of processor time").arg(used)));
    }
};

QTEST_GUILESS_MAIN(TestPacingDelay)
#include "tst_pacingdelay.moc"
