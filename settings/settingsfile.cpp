#include "settings/settingsfile.h"

#include "settings/wholenumber.h"

#include <QLocale>
#include <QStringDecoder>

namespace SettingsFile {

namespace {

// Reads the fields one after the other, ignoring which line they are on: files
// edited by hand often break or join the two lines, and the order of the
// fields alone says what each one is.
class FieldReader
{
public:
    explicit FieldReader(const QString &text) : m_text(text) {}

    std::optional<QString> next()
    {
        while (m_pos < m_text.size() && isBlank(m_text.at(m_pos)))
            ++m_pos;
        if (m_pos >= m_text.size())
            return std::nullopt;

        QString field;
        if (m_text.at(m_pos) == u'"') {
            const qsizetype close = m_text.indexOf(u'"', m_pos + 1);
            if (close < 0)
                return std::nullopt; // the file ends inside the quotes
            field = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            // Whatever stands between the closing quote and the separator is dropped.
            while (m_pos < m_text.size() && !isSeparator(m_text.at(m_pos)))
                ++m_pos;
        } else {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && !isSeparator(m_text.at(m_pos)))
                ++m_pos;
            qsizetype end = m_pos;
            while (end > start && isBlank(m_text.at(end - 1)))
                --end;
            field = m_text.mid(start, end - start);
        }
        skipSeparator();
        return field;
    }

private:
    static bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
    static bool isSeparator(QChar c) { return c == u',' || c == u'\r' || c == u'\n'; }

    void skipSeparator()
    {
        if (m_pos >= m_text.size())
            return;
        const QChar c = m_text.at(m_pos++);
        if (c == u'\r' && m_pos < m_text.size() && m_text.at(m_pos) == u'\n')
            ++m_pos;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

// Integer fields go through the same conversion as the settings boxes, so a
// hand-edited "7.5" reads as 8 just as it would have been saved.
std::optional<qint16> readInteger(FieldReader &reader)
{
    const std::optional<QString> field = reader.next();
    if (!field)
        return std::nullopt;
    return toWholeNumber(*field, QLocale::c());
}

QByteArray quoted(const QString &text)
{
    return '"' + text.toUtf8() + '"';
}

} // namespace

QString decode(const QByteArray &bytes)
{
    // Stateless: a sequence cut off by the end of the file is an error too, not
    // held back for input that never comes (a Latin-1 file ending in "é").
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

ParseResult parse(const QByteArray &bytes)
{
    const QString text = decode(bytes);
    FieldReader reader(text);
    ParseResult result;
    SettingsRecord record;

    const std::optional<qint16> portNumber = readInteger(reader);
    if (!portNumber)
        return result;
    record.portNumber = *portNumber;
    const std::optional<QString> baud = reader.next();
    if (!baud)
        return result;
    record.baudRate = *baud;
    const std::optional<QString> password = reader.next();
    if (!password)
        return result;
    record.password = *password;
    const std::optional<qint16> sampleTime = readInteger(reader);
    if (!sampleTime)
        return result;
    record.sampleTime = *sampleTime;
    const std::optional<QString> deviceCode = reader.next();
    if (!deviceCode)
        return result;
    record.deviceCode = *deviceCode;
    result.deviceCode = *deviceCode;

    for (QString &field : record.labels) {
        const std::optional<QString> label = reader.next();
        if (!label)
            return result;
        field = *label;
    }
    result.record = record;
    return result;
}

QByteArray format(const SettingsRecord &record)
{
    QByteArray out;
    out += QByteArray::number(record.portNumber) + ',' + quoted(record.baudRate) + ',' +
           quoted(record.password) + ',' + QByteArray::number(record.sampleTime) + ',' +
           quoted(record.deviceCode) + "\r\n";
    for (size_t i = 0; i < record.labels.size(); ++i) {
        out += quoted(record.labels[i]);
        out += i + 1 < record.labels.size() ? "," : "\r\n";
    }
    return out;
}

QString unstorableReason(const QString &text)
{
    if (text.contains(u'"'))
        return QStringLiteral("contains a double quote (\")");
    if (text.contains(u'\r') || text.contains(u'\n'))
        return QStringLiteral("contains a line break");
    return {};
}

QString storableForm(QString text)
{
    text.replace(u'"', u'\'');
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}

QString pathFor(const QString &exeDir, const QString &baseName)
{
    const QString fileName = baseName + QStringLiteral(".ini");
    if (exeDir.isEmpty())
        return fileName;
    if (exeDir.endsWith(u'/'))
        return exeDir + fileName;
    return exeDir + u'/' + fileName;
}

QString choosePath(const QString &exeDir, const QString &baseName, const QString &configDir,
                   bool besideExists, bool exeDirWritable)
{
    const bool installed = exeDir == QLatin1String("/usr") || exeDir.startsWith(QLatin1String("/usr/"));
    if (configDir.isEmpty() || (!installed && (besideExists || exeDirWritable)))
        return pathFor(exeDir, baseName);
    return pathFor(configDir, baseName);
}

} // namespace SettingsFile
