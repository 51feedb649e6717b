// Speed and cost of the real window over the real serial port: the window
// reads a pseudo-terminal whose other end this program plays from threads of
// its own. Prints one table and optionally writes it as JSON.
#include "benchmarks.h"
#include "harness.h"

#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <sys/utsname.h>

using namespace bench;

namespace {

QString readCpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return {};
}

QJsonObject machine()
{
    utsname u{};
    uname(&u);
    return {{QStringLiteral("cpu"), readCpuModel()},
            {QStringLiteral("cores"), int(std::thread::hardware_concurrency())},
            {QStringLiteral("kernel"), QString::fromLatin1(u.release)},
            {QStringLiteral("qt"), QString::fromLatin1(qVersion())}};
}

QString formatValue(double v)
{
    if (v >= 1000)
        return QString::number(v, 'f', 0);
    if (v >= 10)
        return QString::number(v, 'f', 1);
    return QString::number(v, 'f', 3);
}

// Prints the table (and writes it as JSON); true when every target was met.
bool printAndSave(const QString &jsonPath, bool quick)
{
    bool allPass = true;
    int nameWidth = 6;
    for (const Metric &m : metrics())
        nameWidth = std::max(nameWidth, int(m.name.size()));
    const auto row = [&](const QString &a, const QString &b, const QString &c, const QString &d) {
        std::printf("| %-*s | %16s | %-14s | %-4s |\n", nameWidth, qPrintable(a), qPrintable(b),
                    qPrintable(c), qPrintable(d));
    };
    row(QStringLiteral("metric"), QStringLiteral("value"), QStringLiteral("target"), QStringLiteral("pass"));
    std::printf("|%s|%s|%s|%s|\n", qPrintable(QString(nameWidth + 2, u'-')), qPrintable(QString(18, u'-')),
                qPrintable(QString(16, u'-')), qPrintable(QString(6, u'-')));
    QJsonArray rows;
    for (const Metric &m : metrics()) {
        const QString result = !m.pass   ? QStringLiteral("info")
                               : *m.pass ? QStringLiteral("pass")
                                         : QStringLiteral("FAIL");
        if (m.pass && !*m.pass)
            allPass = false;
        row(m.name, formatValue(m.value) + QLatin1Char(' ') + m.unit,
            m.target.isEmpty() ? QStringLiteral("-") : m.target, result);
        QJsonObject o{{QStringLiteral("metric"), m.name},
                      {QStringLiteral("value"), m.value},
                      {QStringLiteral("unit"), m.unit},
                      {QStringLiteral("target"), m.target}};
        o.insert(QStringLiteral("pass"), m.pass ? QJsonValue(*m.pass) : QJsonValue());
        rows.append(o);
    }
    const QJsonObject machineInfo = machine();
    std::printf("machine: %s, %d cores, kernel %s, Qt %s%s\n", qPrintable(machineInfo[u"cpu"].toString()),
                machineInfo[u"cores"].toInt(), qPrintable(machineInfo[u"kernel"].toString()),
                qPrintable(machineInfo[u"qt"].toString()), quick ? " (quick run)" : "");
    if (!jsonPath.isEmpty()) {
        QFile f(jsonPath);
        const QJsonObject doc{{QStringLiteral("machine"), machineInfo},
                              {QStringLiteral("quick"), quick},
                              {QStringLiteral("pass"), allPass},
                              {QStringLiteral("results"), rows}};
        if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(doc).toJson()) < 0) {
            std::fprintf(stderr, "pwm-bench: cannot write %s\n", qPrintable(jsonPath));
            markBroken();
        }
    }
    return allPass;
}

void usage()
{
    std::fprintf(stderr, "usage: pwm-bench [--quick | --smoke] [--json FILE] [--only "
                         "latency,flood,pacing,idle,startup,nolineend,soak,trend,windowless,recording]\n"
                         "  --quick  fewer samples (1000 replies, 100000 flood lines, 100 sends, 2 s idle,\n"
                         "           5 starts, 10 MB without a line end, a 20 s soak instead of 3 min)\n"
                         "  --smoke  as --quick, but the exit status only says whether everything\n"
                         "           worked (no lost lines, right labels), not whether targets were met\n"
                         "Exit status: 0 all targets met, 1 a target missed, 2 the run broke.\n");
}

} // namespace

int main(int argc, char *argv[])
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // the table after the progress lines, even through a pipe
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));

    bool quick = false;
    bool smoke = false;
    QString jsonPath;
    QStringList only{QStringLiteral("latency"),  QStringLiteral("flood"),   QStringLiteral("pacing"),
                     QStringLiteral("idle"),     QStringLiteral("startup"), QStringLiteral("nolineend"),
                     QStringLiteral("soak"),     QStringLiteral("trend"),   QStringLiteral("windowless"),
                     QStringLiteral("recording")};
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--quick")) {
            quick = true;
        } else if (args[i] == QLatin1String("--smoke")) {
            quick = smoke = true;
        } else if (args[i] == QLatin1String("--json") && i + 1 < args.size()) {
            jsonPath = args[++i];
        } else if (args[i] == QLatin1String("--only") && i + 1 < args.size()) {
            only = args[++i].split(u',');
        } else {
            usage();
            return 2;
        }
    }

    if (only.contains(QLatin1String("latency")))
        benchLatency(quick ? 1000 : 10000);
    if (only.contains(QLatin1String("flood")))
        benchFlood(quick ? 100000 : 1000000);
    if (only.contains(QLatin1String("pacing")))
        benchPacing(quick ? 100 : 1000);
    if (only.contains(QLatin1String("idle")))
        benchIdle(quick ? 2000ms : 10000ms);
    if (only.contains(QLatin1String("startup")))
        benchStartup(quick ? 5 : 20);
    if (only.contains(QLatin1String("nolineend")))
        benchNoLineEnd(quick ? 10 : 100);
    if (only.contains(QLatin1String("soak")))
        benchSoak(quick ? 20s : 180s);
    if (only.contains(QLatin1String("trend")))
        benchTrend(quick ? 100000 : 1000000, quick ? 2000ms : 10000ms);
    // "trendbound" alone: the store at its bound only.
    if (only.contains(QLatin1String("trend")) || only.contains(QLatin1String("trendbound")))
        benchTrendAtBound(quick ? 2000ms : 10000ms, quick ? 200000 : 1000000);
    if (only.contains(QLatin1String("windowless")))
        benchWindowless(quick ? 2 : 5, quick ? 2000ms : 10000ms);
    if (only.contains(QLatin1String("recording")))
        benchRecordingOpen(quick ? 100000 : 1000000);

    const bool met = printAndSave(jsonPath, quick);
    if (broken())
        return 2;
    return met || smoke ? 0 : 1;
}
