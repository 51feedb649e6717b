// Settings file and whole-number conversion on arbitrary bytes: a hand-edited or
// damaged .ini must never crash the program, and what it writes must read back.

#include "fuzz/fuzzcheck.h"
#include "settings/settingsfile.h"
#include "settings/wholenumber.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

QByteArray show(const QString &text)
{
    return text.toUtf8().toPercentEncoding(" ,.-+\"");
}

bool storable(const SettingsRecord &r)
{
    for (const QString *text : {&r.baudRate, &r.password, &r.deviceCode}) {
        if (!SettingsFile::unstorableReason(*text).isEmpty())
            return false;
    }
    for (const QString &label : r.labels) {
        if (!SettingsFile::unstorableReason(label).isEmpty())
            return false;
    }
    return true;
}

void checkRoundTrip(const QByteArray &bytes)
{
    const SettingsFile::ParseResult first = SettingsFile::parse(bytes);
    if (first.record) {
        FUZZ_CHECK(first.deviceCode && *first.deviceCode == first.record->deviceCode,
                   "the device code differs from the record's");
    }
    if (!first.record || !storable(*first.record))
        return;

    const QByteArray written = SettingsFile::format(*first.record);
    const SettingsFile::ParseResult second = SettingsFile::parse(written);
    FUZZ_CHECK(second.record.has_value(), "the written file does not parse: %s",
               written.toPercentEncoding().constData());
    const SettingsRecord &a = *first.record;
    const SettingsRecord &b = *second.record;
    FUZZ_CHECK(a.portNumber == b.portNumber, "portNumber %d became %d", a.portNumber, b.portNumber);
    FUZZ_CHECK(a.sampleTime == b.sampleTime, "sampleTime %d became %d", a.sampleTime, b.sampleTime);
    FUZZ_CHECK(a.baudRate == b.baudRate, "baudRate [%s] became [%s]", show(a.baudRate).constData(),
               show(b.baudRate).constData());
    FUZZ_CHECK(a.password == b.password, "password [%s] became [%s]", show(a.password).constData(),
               show(b.password).constData());
    FUZZ_CHECK(a.deviceCode == b.deviceCode, "deviceCode [%s] became [%s]", show(a.deviceCode).constData(),
               show(b.deviceCode).constData());
    for (size_t i = 0; i < a.labels.size(); ++i) {
        FUZZ_CHECK(a.labels[i] == b.labels[i], "labels[%zu] [%s] became [%s]", i,
                   show(a.labels[i]).constData(), show(b.labels[i]).constData());
    }
    // Writing is deterministic: a second save of the same record gives the same bytes.
    FUZZ_CHECK(SettingsFile::format(b) == written, "a second save differs");
}

// The C-locale grammar: blanks, an optional sign, digits with at most one '.',
// blanks; at least one digit. Gives the trimmed number text, or nothing.
std::optional<std::string> plainNumber(const QString &text)
{
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype pos = 0;
    qsizetype end = text.size();
    while (pos < end && blank(text[pos]))
        ++pos;
    while (end > pos && blank(text[end - 1]))
        --end;
    std::string out;
    bool digit = false;
    bool point = false;
    for (qsizetype i = pos; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if ((c == u'-' || c == u'+') && i == pos)
            out += char(c);
        else if (c == u'.' && !point)
            point = true, out += '.';
        else if (c >= u'0' && c <= u'9')
            digit = true, out += char(c);
        else
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    return out;
}

void checkWholeNumber(const QString &text)
{
    static const QLocale c = QLocale::c();
    static const QLocale german(QLocale::German, QLocale::Germany);
    // Two-character signs and a non-ASCII decimal separator.
    static const QLocale persian(QLocale::Persian, QLocale::Iran);

    const std::optional<qint16> inC = toWholeNumber(text, c);

    // Against the grammar and the value strtod reads from the same digits.
    const std::optional<std::string> plain = plainNumber(text);
    if (!plain) {
        FUZZ_CHECK(!inC, "[%s] is no number but gave %d", show(text).constData(), *inC);
    } else {
        const double d = std::strtod(plain->c_str(), nullptr);
        // A double cannot tell 32767.5 from 32767.4999999999999999, so a margin.
        constexpr double kMargin = 1e-6;
        if (d > 32767.5 + kMargin || d < -32768.5 - kMargin) {
            FUZZ_CHECK(!inC, "[%s] is out of range but gave %d", plain->c_str(), *inC);
        } else if (d < 32767.5 - kMargin && d > -32768.5 + kMargin) {
            FUZZ_CHECK(inC.has_value(), "[%s] is in range but gave nothing", plain->c_str());
            const double fraction = std::fabs(d - std::trunc(d));
            if (std::fabs(fraction - 0.5) > kMargin) {
                FUZZ_CHECK(*inC == std::nearbyint(d), "[%s] gave %d", plain->c_str(), *inC);
            } else {
                FUZZ_CHECK(std::fabs(*inC - d) <= 0.5 + kMargin, "[%s] gave %d", plain->c_str(), *inC);
            }
        }
    }

    // The same number written for another locale gives the same result.
    if (!text.contains(u',')) {
        QString inGermanText = text;
        inGermanText.replace(u'.', u',');
        const std::optional<qint16> inGerman = toWholeNumber(inGermanText, german);
        FUZZ_CHECK(inGerman == inC, "[%s] differs between C and German", show(text).constData());
    }
    const QString persianPoint = persian.decimalPoint();
    // A text that already holds the locale's own non-ASCII marks reads differently there.
    bool persianMarks = false;
    for (const QChar mark : persianPoint + persian.negativeSign() + persian.positiveSign())
        persianMarks = persianMarks || (mark.unicode() >= 0x80 && text.contains(mark));
    if (!persianMarks) {
        QString inPersianText = text;
        inPersianText.replace(u'.', persianPoint);
        const qsizetype sign = inPersianText.indexOf(u'-');
        if (sign >= 0)
            inPersianText.replace(sign, 1, persian.negativeSign());
        const std::optional<qint16> inPersian = toWholeNumber(inPersianText, persian);
        FUZZ_CHECK(inPersian == inC, "[%s] differs between C and Persian", show(text).constData());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    // Either the UTF-8 reading (an initial BOM dropped) or the Latin-1 one, never a mix or a loss.
    const QString text = SettingsFile::decode(bytes);
    const QByteArray withoutBom = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    FUZZ_CHECK(text.toUtf8() == withoutBom || text == QString::fromLatin1(bytes), "[%s] decoded to [%s]",
               bytes.toPercentEncoding().constData(), show(text).constData());
    checkRoundTrip(bytes);

    // The whole text, then each piece between separators as a settings box would hold it.
    checkWholeNumber(text);
    int checked = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size() && checked < 64; ++i) {
        if (i == text.size() || text[i] == u',' || text[i] == u'\r' || text[i] == u'\n') {
            if (start > 0 || i < text.size())
                checkWholeNumber(text.mid(start, i - start)), ++checked;
            start = i + 1;
        }
    }
    return 0;
}
