#include "AuditTrail.h"

#include "EventList.h"
#include "ExportManifest.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThreadPool>

const QString AuditTrail::kExportClass = QStringLiteral("audit.EXPORT");

AuditTrail::AuditTrail(EventList *events, QObject *parent)
    : QObject(parent)
    , m_events(events)
{}

QString AuditTrail::exportText(const QString &what, const QString &user, const QString &path,
                               const QByteArray &sha256)
{
    return QStringLiteral("%1 exported by %2: %3, SHA-256 %4")
        .arg(what, user.isEmpty() ? QStringLiteral("?") : user, QFileInfo(path).fileName(),
             sha256.isEmpty() ? QStringLiteral("unreadable") : QString::fromLatin1(sha256));
}

void AuditTrail::recordExport(const QString &sourceId, const QString &what, const QString &path)
{
    QPointer<AuditTrail> self(this);
    QThreadPool::globalInstance()->start([self, sourceId, what, path] {
        const QByteArray hash = ExportManifest::sha256(path);
        // Back on the GUI thread (the application object lives there, and outlives the trail):
        // the trail and the events list are looked at there only.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, sourceId, what, path, hash] {
                if (!self || !self->m_events)
                    return;
                self->m_events->addDone(sourceId, kExportClass,
                                        exportText(what, self->m_events->user(), path, hash));
                emit self->recorded(path);
            },
            Qt::QueuedConnection);
    });
}
