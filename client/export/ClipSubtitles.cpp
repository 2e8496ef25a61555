#include "ClipSubtitles.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

QString srtTime(qint64 ms)
{
    ms = std::max<qint64>(ms, 0);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

QString ClipSubtitles::sanitized(const QString &text)
{
    static const QRegularExpression tags(QStringLiteral("<[^<>]*>|\\{[^{}]*\\}"));
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.remove(tags);
    QString out;
    out.reserve(s.size());
    for (const QChar c : qAsConst(s)) {
        const auto cat = c.category();
        if (c == QLatin1Char('\n'))
            out += c;
        else if (c == QLatin1Char('\t'))
            out += QLatin1Char(' ');
        else if (cat != QChar::Other_Control && cat != QChar::Other_Format && c != QChar(0x2028) &&
                 c != QChar(0x2029))
            out += c;
    }
    // An SRT cue ends at a blank line: keep the lines of one text together.
    static const QRegularExpression blankLines(QStringLiteral("\\n[ ]*\\n+"));
    out.replace(blankLines, QStringLiteral("\n"));
    return out.trimmed();
}

void ClipSubtitles::add(qint64 fromMs, qint64 toMs, const QString &text)
{
    if (!m_cues.isEmpty() && m_cues.last().to > fromMs)
        m_cues.last().to = std::max(fromMs, m_cues.last().from + 1);
    m_cues.append(Cue{fromMs, std::max(toMs, fromMs + 1), text});
}

QByteArray ClipSubtitles::srt() const
{
    QString out;
    int n = 0;
    for (const Cue &cue : m_cues)
        out += QStringLiteral("%1\n%2 --> %3\n%4\n\n")
                   .arg(++n)
                   .arg(srtTime(cue.from), srtTime(cue.to), cue.text);
    return out.toUtf8();
}

QByteArray ClipSubtitles::sample(const QString &text)
{
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > 0xffff) {
        utf8.truncate(0xffff);
        // Do not end inside a character: drop continuation bytes and their lead byte.
        while (!utf8.isEmpty() && (static_cast<unsigned char>(utf8.back()) & 0xc0) == 0x80)
            utf8.chop(1);
        if (!utf8.isEmpty() && static_cast<unsigned char>(utf8.back()) >= 0xc0)
            utf8.chop(1);
    }
    QByteArray out;
    out.append(static_cast<char>((utf8.size() >> 8) & 0xff));
    out.append(static_cast<char>(utf8.size() & 0xff));
    return out + utf8;
}

QByteArray ClipSubtitles::sampleDescription()
{
    static const unsigned char entry[] = {
        0x00, 0x00, 0x00, 0x00,                         // display flags
        0x01, 0xff,                                     // centred, at the bottom
        0x00, 0x00, 0x00, 0x00,                         // background colour
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // text box: the whole picture
        0x00, 0x00, 0x00, 0x00,                         // style record: from, to
        0x00, 0x01, 0x00, 0x12,                         // font 1, plain, size 18
        0xff, 0xff, 0xff, 0xff,                         // white
        0x00, 0x00, 0x00, 0x12, 'f',  't',  'a',  'b',  // font table, one entry
        0x00, 0x01, 0x00, 0x01, 0x05, 'S',  'e',  'r',  'i', 'f'};
    return QByteArray(reinterpret_cast<const char *>(entry), sizeof entry);
}

QString ClipSubtitles::bookmarkText(const QString &author, const QString &note)
{
    return note.isEmpty() ? QStringLiteral("Bookmark by %1").arg(author)
                          : QStringLiteral("Bookmark by %1: %2").arg(author, note);
}
