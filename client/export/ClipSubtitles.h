#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The channel texts of a clip as subtitles: each shown from its time for 4 s or until the
// next one, as plain text (a till's text may hold control characters or markup that a
// player would otherwise interpret), written as an SRT file and as MP4 timed-text samples.
class ClipSubtitles
{
public:
    static constexpr qint64 kShowMs = 4000;

    struct Cue
    {
        qint64 from = 0; // ms from the start of the file
        qint64 to = 0;
        QString text;
    };

    // Control characters (but line breaks and tabs) and markup tags removed, line breaks
    // unified, surrounding blank lines dropped.
    static QString sanitized(const QString &text);
    // The subtitle of a bookmark: "Bookmark by NAME: NOTE".
    static QString bookmarkText(const QString &author, const QString &note);
    // A text shown over [fromMs, toMs) of the file; a cue still showing ends where it starts.
    void add(qint64 fromMs, qint64 toMs, const QString &text);
    const QVector<Cue> &cues() const { return m_cues; }
    QByteArray srt() const;

    // A timed-text sample of the MP4 track: the text's length (16 bits) and its UTF-8 bytes.
    static QByteArray sample(const QString &text);
    // The timed-text sample description the MP4 track needs: white text, one font.
    static QByteArray sampleDescription();

private:
    QVector<Cue> m_cues;
};
