#include "session/reply.h"

#include "link/lineassembler.h"
#include "link/numbertext.h"

namespace {

// The assembler cuts a line at kMaxLine bytes so that what it cut is one too long.
constexpr qsizetype kLongestReply = LineAssembler::kMaxLine - 1;

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
        reply.duty = formatReplyNumber(asSingle(readLeadingNumber(line.mid(5))));
    } else if (prefix == QLatin1String("SV02=")) {
        const float value = asSingle(readLeadingNumber(line.mid(5)));
        reply.preset = 0;
        for (int i = 1; i <= 7; ++i)
            if (value == float(i))
                reply.preset = i;
    }
    return reply;
}
