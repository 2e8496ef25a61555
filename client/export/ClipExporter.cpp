#include "ClipExporter.h"

#include "BookmarkList.h"
#include "ClipRemuxer.h"
#include "ExportKey.h"
#include "ExportManifest.h"
#include "ExportPath.h"
#include "ExportPlan.h"
#include "ManifestSigner.h"
#include "RecordingIndex.h"
#include "WallClockNames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QVariantMap>

#include <algorithm>
#include <chrono>

namespace {

void registerClipExporter()
{
    qmlRegisterType<ClipExporter>("Native", 1, 0, "ClipExporter");
}

// Signs the manifest of a finished export; when it cannot be, the export fails and none of
// its files is left.
void signExport(const ClipExportJob &job, const ExportKey &key, ClipExportResult &result)
{
    const QDir folder(job.folder);
    QString error;
    if (ManifestSigner::signBeside(folder.filePath(result.manifestName), key, &error))
        return;
    for (const ClipFile &f : qAsConst(result.files)) {
        QFile::remove(folder.filePath(f.fileName));
        QFile::remove(folder.filePath(f.subtitleName));
    }
    QFile::remove(folder.filePath(result.manifestName));
    result.ok = false;
    result.error = error;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerClipExporter)

ClipExporter::ClipExporter(QObject *parent)
    : QObject(parent)
    , m_folder(defaultFolder())
    , m_keyPath(ExportKey::defaultPath())
{
    // The fingerprint is shown before the first export when a key is there already.
    ExportKey key;
    QString error;
    if (QFile::exists(m_keyPath) && key.loadOrCreate(m_keyPath, &error))
        m_keyFingerprint = key.fingerprint();
    m_user = QSettings().value(QStringLiteral("user")).toString();
    // The console keeps no signed-in user object: the sign-in field, else the system's user.
    for (const char *name : {"USER", "LOGNAME"})
        if (m_user.isEmpty())
            m_user = qEnvironmentVariable(name);
    if (m_user.isEmpty())
        m_user = QStringLiteral("unknown");
}

ClipExporter::~ClipExporter()
{
    cancel();
    wait();
    delete m_thread;
}

void ClipExporter::setFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    emit folderChanged();
}

void ClipExporter::setKeepGaps(bool keep)
{
    if (keep == m_keepGaps)
        return;
    m_keepGaps = keep;
    emit keepGapsChanged();
}

void ClipExporter::setUser(const QString &user)
{
    if (user == m_user)
        return;
    m_user = user;
    emit userChanged();
}

RecordingIndex *ClipExporter::index() const
{
    return m_index;
}

void ClipExporter::setIndex(RecordingIndex *index)
{
    if (m_index == index)
        return;
    m_index = index;
    emit indexChanged();
}

void ClipExporter::fromIndex(const QString &gateway, qint64 in, qint64 out,
                             QVector<ClipChunk> *chunks, QVector<ClipHole> *unsearched) const
{
    if (!m_index)
        return;
    for (const RecordedSpan &span : m_index->spansBetween(in, out))
        chunks->append(ClipChunk{span.start, span.end, m_index->recordingUrl(gateway, span.start),
                                 span.unavailable});
    QVector<ClipSpan> missing;
    for (const QVariant &v : m_index->missingRanges(in, out)) {
        const QVariantMap r = v.toMap();
        missing.append(ClipSpan{r.value(QStringLiteral("from")).toLongLong(),
                                r.value(QStringLiteral("to")).toLongLong()});
    }
    QVector<ClipSpan> failed;
    for (const TimeRange &r : m_index->failedBetween(in, out))
        failed.append(ClipSpan{r.from, r.to});
    *unsearched = ExportPlan::unsearched(missing, failed);
}

bool ClipExporter::exportRange(const QString &camera, const QString &gateway, qint64 in, qint64 out)
{
    if (!m_index) {
        qWarning() << "An export was asked without the stream's recordings";
        return false;
    }
    ClipExportJob job;
    job.camera = camera;
    job.streamId = m_index->streamId();
    job.gateway = gateway;
    job.in = std::min(in, out);
    job.out = std::max(in, out);
    fromIndex(gateway, job.in, job.out, &job.chunks, &job.unsearched);
    return start(std::move(job));
}

QStringList ClipExporter::holesOf(qint64 in, qint64 out) const
{
    QStringList texts;
    if (!m_index || in == out)
        return texts;
    QVector<ClipChunk> chunks;
    QVector<ClipHole> unsearched;
    const qint64 from = std::min(in, out);
    const qint64 to = std::max(in, out);
    fromIndex(QString(), from, to, &chunks, &unsearched);
    const ExportPlan plan = ExportPlan::make(chunks, unsearched, from, to);
    for (const ClipHole &hole : plan.holes())
        texts << ExportPlan::panelText(hole);
    return texts;
}

BookmarkList *ClipExporter::bookmarks() const
{
    return m_bookmarks;
}

void ClipExporter::setBookmarks(BookmarkList *bookmarks)
{
    if (m_bookmarks == bookmarks)
        return;
    m_bookmarks = bookmarks;
    emit bookmarksChanged();
}

void ClipExporter::setKeyPath(const QString &path)
{
    if (path == m_keyPath)
        return;
    m_keyPath = path;
    m_keyFingerprint.clear();
    emit keyChanged();
}

std::shared_ptr<ExportKey> ClipExporter::signingKey()
{
    auto key = std::make_shared<ExportKey>();
    QString error;
    const bool ok = key->loadOrCreate(m_keyPath, &error);
    const QString fingerprint = ok ? key->fingerprint() : QString();
    if (fingerprint != m_keyFingerprint) {
        m_keyFingerprint = fingerprint;
        emit keyChanged();
    }
    if (ok)
        return key;
    refuse(error);
    return nullptr;
}

void ClipExporter::refuse(const QString &error)
{
    m_files.clear();
    m_manifest.clear();
    m_notes.clear();
    m_shortfall.clear();
    m_error = error;
    qWarning().noquote() << "Export failed:" << m_error;
    // Said as an outcome, after the caller has seen start() return.
    QMetaObject::invokeMethod(
        this, [this] { emit finished(false); }, Qt::QueuedConnection);
}

QString ClipExporter::defaultFolder()
{
    return ExportPath::folderIn(QStandardPaths::MoviesLocation) + QLatin1Char('/');
}

QString ClipExporter::freeBaseName(const QString &folder, const QString &camera, qint64 in)
{
    QString name = camera;
    name.replace(QRegularExpression(QStringLiteral("[^\\w\\-]+")), QStringLiteral("-"));
    name = name.left(64);
    if (name.isEmpty())
        name = QStringLiteral("clip");
    const QString stem =
        name + QLatin1Char('_') +
        QDateTime::fromMSecsSinceEpoch(in).toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    const QStringList taken = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const auto isTaken = [&taken](const QString &base) {
        for (const QString &f : taken)
            if (f.startsWith(base + QLatin1Char('.')) ||
                f.startsWith(base + QStringLiteral("_part")))
                return true;
        return false;
    };
    QString base = stem;
    for (int n = 2; isTaken(base); ++n)
        base = QStringLiteral("%1_%2").arg(stem).arg(n);
    return base;
}

bool ClipExporter::start(const QString &camera, const QString &streamId, const QString &gateway,
                         qint64 in, qint64 out, const QVariantList &chunks)
{
    ClipExportJob job;
    job.camera = camera;
    job.streamId = streamId;
    job.gateway = gateway;
    job.in = std::min(in, out);
    job.out = std::max(in, out);
    for (const QVariant &v : chunks) {
        const QVariantMap c = v.toMap();
        job.chunks.append(ClipChunk{c.value(QStringLiteral("start")).toLongLong(),
                                    c.value(QStringLiteral("end")).toLongLong(),
                                    c.value(QStringLiteral("url")).toString()});
    }
    return start(std::move(job));
}

bool ClipExporter::start(ClipExportJob job)
{
    if (m_thread)
        return false;
    if (job.folder.isEmpty())
        job.folder = m_folder;
    if (job.user.isEmpty())
        job.user = m_user;
    if (job.version.isEmpty())
        job.version = QCoreApplication::applicationVersion();
    job.keepGaps = job.keepGaps || m_keepGaps;
    if (job.baseName.isEmpty())
        job.baseName = freeBaseName(job.folder, job.camera, job.in);
    if (job.bookmarks.isEmpty() && m_bookmarks)
        for (const Bookmark &b :
             m_bookmarks->within(m_bookmarks->currentServer(), job.streamId, job.in, job.out))
            job.bookmarks.append(ClipBookmark{b.time, b.author, b.note});
    // A manifest never states times it cannot prove: a recording whose name stands for two
    // moments (the repeated hour of a clock change) may be the other one's.
    if (std::any_of(job.chunks.cbegin(), job.chunks.cend(), [&job](const ClipChunk &c) {
            return c.end > job.in && c.start < job.out && WallClockNames::isAmbiguous(c.start);
        })) {
        refuse(WallClockNames::refusal());
        return false;
    }
    const std::shared_ptr<ExportKey> key = signingKey();
    if (!key)
        return false;
    job.keyFingerprint = key->fingerprint();
    m_runFolder = job.folder;
    m_canceled = std::make_shared<std::atomic<bool>>(false);
    m_progress = 0;
    m_total = static_cast<double>(job.out - job.in) / 1000.0;
    emit progressChanged();
    auto canceled = m_canceled;
    QPointer<ClipExporter> self(this);
    m_thread = QThread::create([job, canceled, self, key] {
        // Progress comes often: post at most a few times a second.
        auto last = std::chrono::steady_clock::time_point();
        ClipRemuxer remuxer(job, *canceled, [&last, self](double done) {
            const auto now = std::chrono::steady_clock::now();
            if (now - last < std::chrono::milliseconds(100))
                return;
            last = now;
            // The worker thread never touches the exporter: it posts to the GUI thread.
            QMetaObject::invokeMethod(
                self,
                [self, done] {
                    if (self)
                        self->onProgress(done);
                },
                Qt::QueuedConnection);
        });
        ClipExportResult result = remuxer.run();
        if (result.ok)
            signExport(job, *key, result);
        QMetaObject::invokeMethod(
            self,
            [self, result] {
                if (self)
                    self->onFinished(result);
            },
            Qt::QueuedConnection);
    });
    m_thread->setObjectName(QStringLiteral("ClipExporter"));
    m_thread->start();
    qInfo().noquote() << "Exporting" << job.camera
                      << QDateTime::fromMSecsSinceEpoch(job.in).toString(Qt::ISODate) << "to"
                      << QDateTime::fromMSecsSinceEpoch(job.out).toString(Qt::ISODate) << "into"
                      << QDir(job.folder).filePath(job.baseName);
    emit busyChanged();
    return true;
}

void ClipExporter::cancel()
{
    if (m_canceled)
        m_canceled->store(true);
}

void ClipExporter::wait()
{
    if (m_thread)
        m_thread->wait();
}

void ClipExporter::onProgress(double done)
{
    if (!m_thread || done <= m_progress)
        return;
    m_progress = done;
    emit progressChanged();
}

void ClipExporter::onFinished(const ClipExportResult &result)
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
    }
    const QDir folder(m_runFolder);
    m_files.clear();
    m_manifest.clear();
    m_notes = result.notes;
    m_error = result.error;
    m_shortfall = result.ok ? result.shortfall : QString();
    if (result.ok) {
        for (const ClipFile &f : result.files)
            m_files << folder.filePath(f.fileName);
        m_manifest = folder.filePath(result.manifestName);
        m_progress = m_total;
        emit progressChanged();
        if (m_shortfall.isEmpty())
            qInfo().noquote() << "Exported" << m_files.join(QStringLiteral(", "));
        else
            qWarning().noquote() << "Exported less than asked:" << m_shortfall << "-"
                                 << m_files.join(QStringLiteral(", "));
    } else {
        qWarning().noquote() << "Export failed:" << m_error;
    }
    for (const QString &note : qAsConst(m_notes))
        qWarning().noquote() << "Export:" << note;
    if (result.ok)
        for (const ClipHole &hole : result.holes)
            qInfo().noquote() << "Export:" << ExportPlan::manifestLine(hole, 0, 1).mid(2);
    emit busyChanged();
    emit finished(result.ok);
}
