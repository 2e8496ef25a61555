#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One recorded chunk to take a clip from: its listed times (ms since the epoch, end exclusive)
// and the gateway's address of its recording. `refused`: the gateway is known to have refused
// its recording already (404, 5xx); it is left out and its time named as a hole.
struct ClipChunk
{
    qint64 start = 0;
    qint64 end = 0;
    QString url;
    bool refused = false;
};

// A part of the asked range that the clip does not hold, and why: nothing is recorded there,
// the recording's search failed or never ran, or the gateway refused the chunk's recording.
struct ClipHole
{
    enum Kind { NotRecorded, SearchFailed, NotSearched, Refused };
    qint64 from = 0;
    qint64 to = 0;
    Kind kind = NotRecorded;
};

// A channel text of the clip's range, at its time in ms since the epoch.
struct ClipText
{
    qint64 time = 0;
    QString text;
};

// A bookmark of the clip's range: its moment (ms since the epoch), who made it and its note.
struct ClipBookmark
{
    qint64 time = 0;
    QString author;
    QString note;
};

// What an export is asked to do: the range [in, out) of one camera's recording, the chunks
// that meet it (in any order, overlapping or not: they are joined by ChunkJoin), the parts of
// the range whose search failed or never ran, and where the files go ("<folder>/<baseName>.mp4"
// and beside it).
struct ClipExportJob
{
    QString camera;
    QString streamId;
    QString gateway; // "http://host:port"
    QString user;
    QString version;
    qint64 in = 0;
    qint64 out = 0;
    QVector<ClipChunk> chunks;
    // Parts of [in, out) that no search answered: SearchFailed (the gateway did not answer)
    // where a search failed, else NotSearched.
    QVector<ClipHole> unsearched;
    // The texts of [in, out); fetched from the gateway's "pos-data" when textsGiven is false.
    QVector<ClipText> texts;
    bool textsGiven = false;
    // The operator's bookmarks of [in, out), in the manifest and as subtitles.
    QVector<ClipBookmark> bookmarks;
    bool keepGaps = false;
    QString folder;
    QString baseName;
    // The SHA-256 fingerprint of the key that signs the manifest; empty: unsigned.
    QString keyFingerprint;
};

// One file written: its name in the folder and the moments it holds (ms since the epoch).
struct ClipFile
{
    QString fileName;
    QString subtitleName;
    qint64 from = 0;
    qint64 to = 0;
};

// A span of recorded time, ms since the epoch, end exclusive.
struct ClipSpan
{
    qint64 from = 0;
    qint64 to = 0;
};

// How an export ended.
struct ClipExportResult
{
    bool ok = false;
    bool canceled = false;
    QString error;
    QStringList notes; // chunks left out, texts that could not be fetched
    QVector<ClipFile> files;
    QString manifestName;
    // Set when the files hold less of the range than the gateway's chunks promised (a gateway
    // whose file is shorter than the chunk it lists): what they do hold, within the range,
    // and a sentence saying so. Empty when they hold it all.
    QVector<ClipSpan> heldOnly;
    QString shortfall;
    // The parts of the range the files do not hold, in time order, for the manifest.
    QVector<ClipHole> holes;
};
