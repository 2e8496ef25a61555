#include "BookmarkNote.h"

QString BookmarkNote::clean(const QString &typed, bool *cut)
{
    QString text;
    // A note pasted from anywhere may be huge: only what can be kept is looked at.
    const int looked = qMin(typed.size(), kMaxLength * 4);
    text.reserve(looked);
    for (int i = 0; i < looked; ++i) {
        const QChar c = typed.at(i);
        text.append(c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                            c == QChar::ParagraphSeparator
                        ? QChar(QLatin1Char(' '))
                        : c);
    }
    text = text.trimmed();
    const bool tooLong = text.size() > kMaxLength || (looked < typed.size() && !text.isEmpty());
    if (text.size() > kMaxLength) {
        int end = kMaxLength;
        // A pair of surrogates is never split.
        if (text.at(end - 1).isHighSurrogate())
            --end;
        text.truncate(end);
        text = text.trimmed();
    }
    if (cut)
        *cut = tooLong;
    return text;
}
