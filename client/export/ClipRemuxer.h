#pragma once

#include "ChunkJoin.h"
#include "ClipExportJob.h"
#include "ClipSubtitles.h"

#include <atomic>
#include <functional>

struct AVFormatContext;
struct AVPacket;
struct AVStream;

// Writes a job's clip files, on the thread that calls run(): the chunks, joined by ExportPlan
// (overlaps trimmed, so no second is written twice), are read from the gateway over HTTP and
// their video packets copied into MP4 files without decoding (from the keyframe at or before
// "in" to the first packet at or past "out"; a chunk taking over inside its file from its first
// keyframe at or after the moment the previous one ended), with the texts
// as a timed-text track and an SRT file beside. Every file is written as "<name>.part"; they
// are renamed together once all are complete, and removed on failure or cancel.
class ClipRemuxer
{
public:
    // Seconds of the clip done; called from the running thread.
    using Progress = std::function<void(double done)>;

    ClipRemuxer(const ClipExportJob &job, const std::atomic<bool> &canceled, Progress progress);
    ~ClipRemuxer();
    ClipRemuxer(const ClipRemuxer &) = delete;
    ClipRemuxer &operator=(const ClipRemuxer &) = delete;

    ClipExportResult run();

    // "mp4", "_part2.mp4", … for part n (0-based).
    static QString partSuffix(int part);

private:
    struct Output;
    struct Input;

    bool fetchTexts();
    // `follows`: another segment was exported before this one.
    bool exportSegment(const ChunkJoin::Segment &segment, bool follows);
    // Opens a chunk's recording, sought to the keyframe at or before `from`.
    bool openInput(Input &in, const ClipChunk &chunk, qint64 from);
    bool copyPackets(Input &in, const ClipChunk &chunk);
    bool writeVideo(Input &in, AVPacket *pkt, qint64 absMs);
    bool openOutput(const AVStream *video);
    // `last`: no file follows, so the texts left belong to this one.
    bool closeOutput(bool last = false);
    void writeTextsUpTo(qint64 absMs);
    bool writeText(qint64 absMs, const QString &text);
    bool fail(const QString &message);
    bool failAv(const QString &what, int err);
    QString clockText(qint64 ms) const;
    void removeParts();
    bool renameParts();
    // Sets the result's heldOnly and shortfall when the packets written hold less of the range
    // than the chunks list.
    void checkHeld();

    const ClipExportJob &m_job;
    const std::atomic<bool> &m_canceled;
    Progress m_progress;
    ClipExportResult m_result;
    QVector<ClipText> m_texts;
    int m_nextText = 0;
    Output *m_out = nullptr;
    QStringList m_partFiles;    // every ".part" written, for the rename or the clean-up
    qint64 m_prevChunkEnd = -1; // listed end of the chunk exported last, -1 before the first
    bool m_done = false;        // a packet at or past "out" was written
    // The spans of the range the exported chunks list, and those their packets hold.
    QVector<ClipSpan> m_listed;
    QVector<ClipSpan> m_held;
};
