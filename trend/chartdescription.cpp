#include "trend/chartdescription.h"

#include "trend/chartgeometry.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ChartDescription", text);
}

} // namespace

QString describeChart(const std::vector<const SampleStore::Series *> &shown, qint64 startMSecs,
                      qint64 endMSecs, const QLocale &locale)
{
    if (shown.empty())
        return tr("No series shown.");
    QStringList parts;
    for (const SampleStore::Series *s : shown) {
        const auto [first, last] = ChartGeometry::samplesBetween(s->samples, startMSecs, endMSecs);
        if (first == last) {
            parts << tr("%1: no values in this span").arg(s->name);
            continue;
        }
        const SampleSummary::Range range = s->extremes(first - s->samples.begin(), last - s->samples.begin());
        // Written as the legend writes them.
        const auto text = [&locale](double v) { return ChartGeometry::exactText(v, locale); };
        parts << tr("%1: latest %2, lowest %3, highest %4")
                     .arg(s->name, text((last - 1)->value), text(range.lowest), text(range.highest));
    }
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}
