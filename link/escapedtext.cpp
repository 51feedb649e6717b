#include "link/escapedtext.h"

void appendEscapedText(QByteArray &out, QByteArrayView bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            out += c;
        } else {
            const char escaped[] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xf]};
            out.append(escaped, 4);
        }
    }
}

QString escapedText(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    appendEscapedText(out, bytes);
    return QString::fromLatin1(out);
}
