#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// One recorded chunk to take a clip from: its listed times (ms since the epoch, end exclusive)
// and the gateway's address of its recording.
struct ClipChunk
{
    qint64 start = 0;
    qint64 end = 0;
    QString url;
};

// A channel text of the clip's range, at its time in ms since the epoch.
struct ClipText
{
    qint64 time = 0;
    QString text;
};

// What an export is asked to do: the range [in, out) of one camera's recording, the chunks
// that meet it in time order, and where the files go ("<folder>/<baseName>.mp4" and beside it).
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
    // The texts of [in, out); fetched from the gateway's "pos-data" when textsGiven is false.
    QVector<ClipText> texts;
    bool textsGiven = false;
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
};
