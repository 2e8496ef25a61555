#pragma once

#include "ClipExportJob.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>

#include <atomic>
#include <memory>

class BookmarkList;
class ExportKey;
class QThread;
class RecordingIndex;

// Exports a range of a camera's recording as files anyone can play and nobody can quietly
// alter: MP4 clips remuxed from the gateway's recordings (no re-encoding), the channel texts as
// subtitles and an SRT file beside, and a manifest of SHA-256 hashes. The work runs on a
// thread of its own; only one export runs at a time.
class ClipExporter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    // Seconds of the clip written, and the clip's length in seconds.
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(double total READ total NOTIFY progressChanged)
    // Where the files go; by default the user's videos folder, "Ardix" inside it.
    Q_PROPERTY(QString folder READ folder WRITE setFolder NOTIFY folderChanged)
    // A gap between chunks is kept as a jump in time inside one file rather than a new file.
    Q_PROPERTY(bool keepGaps READ keepGaps WRITE setKeepGaps NOTIFY keepGapsChanged)
    // Who exports, for the manifest; by default the user of the sign-in fields.
    Q_PROPERTY(QString user READ user WRITE setUser NOTIFY userChanged)
    // The last export's outcome: the clip files written (full paths), its manifest, why it
    // failed (empty when it did not), and what was left out.
    Q_PROPERTY(QStringList files READ files NOTIFY finished)
    Q_PROPERTY(QString manifest READ manifest NOTIFY finished)
    Q_PROPERTY(QString error READ error NOTIFY finished)
    Q_PROPERTY(QStringList notes READ notes NOTIFY finished)
    // Set when the last export's files hold less of the range than asked: "The recording holds
    // only 11:40:25–11:40:30 of what was asked". Empty otherwise.
    Q_PROPERTY(QString shortfall READ shortfall NOTIFY finished)
    // What the recorded page knows of the stream's recordings: exportRange() and holesOf() take
    // its chunks, the ones refused, and the ranges whose search failed or never ran (read only).
    Q_PROPERTY(RecordingIndex *index READ index WRITE setIndex NOTIFY indexChanged)
    // The key that signs each manifest (made owner-only at the first export), and its SHA-256
    // fingerprint, empty until there is a usable key.
    Q_PROPERTY(QString keyPath READ keyPath WRITE setKeyPath NOTIFY keyChanged)
    Q_PROPERTY(QString keyFingerprint READ keyFingerprint NOTIFY keyChanged)
    // The operator's bookmarks: those of an export's range and stream go in its manifest and
    // subtitles.
    Q_PROPERTY(BookmarkList *bookmarks READ bookmarks WRITE setBookmarks NOTIFY bookmarksChanged)

public:
    explicit ClipExporter(QObject *parent = nullptr);
    ~ClipExporter() override;

    bool busy() const { return m_thread != nullptr; }
    double progress() const { return m_progress; }
    double total() const { return m_total; }
    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    bool keepGaps() const { return m_keepGaps; }
    void setKeepGaps(bool keep);
    QString user() const { return m_user; }
    void setUser(const QString &user);
    QStringList files() const { return m_files; }
    QString manifest() const { return m_manifest; }
    QString error() const { return m_error; }
    QStringList notes() const { return m_notes; }
    QString shortfall() const { return m_shortfall; }
    RecordingIndex *index() const;
    void setIndex(RecordingIndex *index);
    QString keyPath() const { return m_keyPath; }
    void setKeyPath(const QString &path);
    QString keyFingerprint() const { return m_keyFingerprint; }
    BookmarkList *bookmarks() const;
    void setBookmarks(BookmarkList *bookmarks);

    static QString defaultFolder();
    // "<camera>_yyyy-MM-dd_hh-mm-ss" of `in` (local time), with "_2", "_3", … added while a
    // file of that name exists in `folder`.
    static QString freeBaseName(const QString &folder, const QString &camera, qint64 in);

    // Exports [in, out) of a stream from `chunks` ({start, end, url}, in time order; those that
    // do not meet the range are ignored). False when an export is running already.
    Q_INVOKABLE bool start(const QString &camera, const QString &streamId, const QString &gateway,
                           qint64 in, qint64 out, const QVariantList &chunks);
    // The same for a job whose folder, baseName, user and version may be left empty.
    bool start(ClipExportJob job);
    // Exports [in, out) of the index's stream from what the index knows of it: its chunks
    // joined, the holes between them named in the manifest. False when an export is running
    // already or there is no index.
    Q_INVOKABLE bool exportRange(const QString &camera, const QString &gateway, qint64 in,
                                 qint64 out);
    // What an export of [in, out) would not hold, one text per hole in time order ("Not
    // recorded: 08:40:00 to 08:52:10", local time), for the operator to read before exporting.
    Q_INVOKABLE QStringList holesOf(qint64 in, qint64 out) const;
    Q_INVOKABLE void cancel();
    // Blocks until the running export has ended (tests, shutdown).
    void wait();

signals:
    void busyChanged();
    void progressChanged();
    void folderChanged();
    void keepGapsChanged();
    void userChanged();
    void indexChanged();
    void finished(bool ok);
    void keyChanged();
    void bookmarksChanged();

private:
    void onProgress(double done);
    void onFinished(const ClipExportResult &result);
    // The index's chunks of [in, out) with their recordings' addresses on `gateway`, and the
    // parts of the range no search answered.
    void fromIndex(const QString &gateway, qint64 in, qint64 out, QVector<ClipChunk> *chunks,
                   QVector<ClipHole> *unsearched) const;
    // The key to sign with, made when there is none; null with the reason said as the export's
    // outcome.
    std::shared_ptr<ExportKey> signingKey();
    void refuse(const QString &error);

    QString m_folder;
    bool m_keepGaps = false;
    QString m_user;
    double m_progress = 0;
    double m_total = 0;
    QStringList m_files;
    QString m_manifest;
    QString m_error;
    QStringList m_notes;
    QString m_shortfall;
    QString m_runFolder;
    QPointer<RecordingIndex> m_index;
    QPointer<BookmarkList> m_bookmarks;
    QString m_keyPath;
    QString m_keyFingerprint;
    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_canceled;
};
