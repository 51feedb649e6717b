#include "link/lineassembler.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

const char *findOrEnd(const char *from, const char *end, char wanted)
{
    const void *hit = std::memchr(from, wanted, static_cast<size_t>(end - from));
    return hit ? static_cast<const char *>(hit) : end;
}

} // namespace

QList<QByteArray> LineAssembler::feed(QByteArrayView bytes)
{
    QList<QByteArray> lines;
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    // The next CR and LF are remembered separately, so a far-away LF is not
    // searched for again after every CR.
    const char *nextCr = nullptr;
    const char *nextLf = nullptr;

    while (p < end) {
        if (!nextCr || nextCr < p)
            nextCr = findOrEnd(p, end, '\r');
        if (!nextLf || nextLf < p)
            nextLf = findOrEnd(p, end, '\n');
        const char *const stop = std::min(nextCr, nextLf);
        const qsizetype keep = std::min<qsizetype>(stop - p, kMaxLine - m_line.size());

        if (stop == end) {
            // A fragment: kept for the next feed.
            if (keep > 0)
                m_line.append(p, keep);
            break;
        }
        if (*stop == '\n') {
            if (keep > 0)
                m_line.append(p, keep);
        } else if (m_line.isEmpty()) {
            // The common case, a whole line inside this feed: no copy through m_line.
            if (keep > 0)
                lines.emplace_back(p, keep);
        } else {
            m_line.append(p, keep);
            lines.append(std::exchange(m_line, QByteArray()));
        }
        p = stop + 1;
    }
    return lines;
}
