#pragma once

#include <QByteArray>
#include <QPair>
#include <QVector>

// Finds moments of motion in a marked area from a recording's keyframes, in time order, on
// small grey pictures (MotionDecoder). Two keyframes in a row "move" when enough pixels of the
// area differ by more than a grey step between them; a changed pixel counts only beside
// another changed one, so that sensor noise and the thin strokes of a burned-in clock do not
// add up to motion. Runs of moving pairs less than kJoinMs apart make one moment, from the
// earlier keyframe of its first pair to the later one of its last; its peak is the keyframe
// with the most change; a pair or two just before it that changed a little (something entering
// slowly) start it earlier. An area smaller than ten times the pixels needed needs a tenth of
// its pixels. Pure, any thread.
class MotionDetector
{
public:
    // Moving pairs closer than this are one moment.
    static constexpr qint64 kJoinMs = 2500;
    // Pairs that changed a little (a third of what motion needs) just before a moment start it,
    // at most this many: something entering slowly.
    static constexpr int kWeakPairs = 2;
    // Sensitivity levels: 0 low, 1 medium, 2 high.
    static constexpr int kLevels = 3;

    struct Level
    {
        int greyStep = 20;   // a pixel changed: its grey moved by more than this
        int changedMin = 12; // pixels changed per 80x45 picture for motion
    };
    struct Moment
    {
        qint64 start = 0; // ms since the epoch
        qint64 end = 0;
        qint64 peak = 0; // the keyframe with the most change
        int change = 0;  // the pixels changed there
    };

    static Level level(int sensitivity);

    MotionDetector(const QByteArray &mask, int width, int height, Level level);

    // The pixels of the area that changed from a to b (pictures of width x height).
    int changed(const QByteArray &a, const QByteArray &b) const;
    // The keyframe at `t`; an empty picture (a keyframe that did not decode) ends the run.
    void add(qint64 t, const QByteArray &picture);
    // The moments closed so far, taken out.
    QVector<Moment> takeMoments();
    // Closes the moment still open (the end of what was given) and takes all.
    QVector<Moment> finish();

private:
    void close();

    QByteArray m_mask;
    int m_width;
    int m_height;
    Level m_level;
    int m_threshold;
    QByteArray m_previous;
    qint64 m_previousAt = -1;
    bool m_open = false;
    Moment m_current;
    QVector<Moment> m_moments;
    // Weakly changed pairs before the moment to come, as (earlier, later keyframe).
    QVector<QPair<qint64, qint64>> m_weak;
    qint64 m_lastClosedEnd = -1;
    mutable QByteArray m_changedBits;
};
