#include "session/reply.h"

#include "link/lineassembler.h"
#include "link/numbertext.h"
#include "link/wireline.h"

namespace {

// The assembler cuts a line at kMaxLine bytes so that what it cut is one too long.
constexpr qsizetype kLongestReply = LineAssembler::kMaxLine - 1;

} // namespace

Reply interpretReply(const WireLine &line, const QString &deviceCode)
{
    Reply reply;
    if (line.bytes.size() > kLongestReply) {
        reply.overlong = true;
        return reply;
    }
    reply.identifies = QLatin1StringView(line.bytes) == deviceCode;

    // "SV01=" with no number after it reads as 0, as the device's firmware does.
    const auto value = float(line.hasValue() ? line.value : 0);
    if (line.bytes.startsWith("SV01=")) {
        reply.duty = formatReplyNumber(value);
    } else if (line.bytes.startsWith("SV02=")) {
        reply.preset = 0;
        for (int i = 1; i <= 7; ++i)
            if (value == float(i))
                reply.preset = i;
    }
    return reply;
}
