#include "session/reply.h"

#include "link/lineassembler.h"
#include "link/numbertext.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

// The assembler cuts a line at kMaxLine bytes so that what it cut is one too long.
constexpr qsizetype kLongestReply = LineAssembler::kMaxLine - 1;

// The device sends single-precision values: show what it meant, not the
// double's extra digits. Beyond the float range gives infinity (a plain cast
// would be undefined there).
float toSingle(double d)
{
    if (std::isnan(d))
        return std::numeric_limits<float>::quiet_NaN();
    // Values up to FLT_MAX plus half its last unit still round to FLT_MAX.
    const double limit = double(FLT_MAX) + std::ldexp(1.0, 103);
    if (std::fabs(d) >= limit)
        return d > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    return float(d);
}

} // namespace

Reply interpretReply(QStringView line, const QString &deviceCode)
{
    Reply reply;
    if (line.size() > kLongestReply) {
        reply.overlong = true;
        return reply;
    }
    reply.identifies = line == deviceCode;

    const QStringView prefix = line.left(5);
    if (prefix == QLatin1String("SV01=")) {
        reply.duty = formatReplyNumber(toSingle(readLeadingNumber(line.mid(5))));
    } else if (prefix == QLatin1String("SV02=")) {
        const float value = toSingle(readLeadingNumber(line.mid(5)));
        reply.preset = 0;
        for (int i = 1; i <= 7; ++i)
            if (value == float(i))
                reply.preset = i;
    }
    return reply;
}
