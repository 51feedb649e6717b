#include "trend/sampleexport.h"

#include "trend/csvrowformat.h"
#include "trend/samplestore.h"

#include <algorithm>

QByteArray samplesAsCsv(const SampleStore &store)
{
    struct Entry
    {
        qint64 msecs;
        int series;
        double value;
    };
    std::vector<Entry> entries;
    for (int s = 0; s < int(store.series().size()); ++s)
        for (const SampleStore::Sample &sample : store.series()[size_t(s)].samples)
            entries.push_back({sample.msecs, s, sample.value});
    // Stable: samples of one series at the same millisecond keep their order.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.msecs < b.msecs; });

    CsvRowFormat format;
    QByteArray out = CsvRowFormat::header();
    out.reserve(out.size() + qsizetype(entries.size()) * 64);
    std::vector<QByteArray> names;
    for (const SampleStore::Series &s : store.series())
        names.push_back(s.name.toLatin1());
    for (const Entry &e : entries)
        out += format.sampleRow(e.msecs, e.msecs - store.originMSecs(),
                                QLatin1StringView(names[size_t(e.series)]), e.value);
    return out;
}
