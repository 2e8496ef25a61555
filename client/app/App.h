#pragma once

#include "AlarmSounder.h"
#include "AuditTrail.h"
#include "BookmarkList.h"
#include "EventList.h"
#include "LastLayoutMemory.h"
#include "LayoutModel.h"
#include "Reconnector.h"
#include "Repository.h"
#include "StreamHistories.h"
#include "User.h"
#include "ZarnClient.h"
#include "ZarnObjectsRepository.h"
#include "client_Service.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <zarn/HandlerError.h>
#include <zarn/NameValueMap.h>

#include <memory>

class LayoutRequestGate;
class RpcSource;
class SQLiteRepository;

// The console's one controller, reached from QML as the singleton `App`. It owns the
// long-lived service objects, runs the sign-in sequence and serves remote-control requests.
class App : public QObject
{
    Q_OBJECT
    // The signed-in user as an object: the console keeps none, so it is always null.
    Q_PROPERTY(User *currentUser READ currentUser NOTIFY currentUserChanged)
    Q_PROPERTY(ZarnClient *zarnClient READ zarnClient NOTIFY zarnClientChanged)
    Q_PROPERTY(
        ZarnObjectsRepository *zarnRepository READ zarnRepository NOTIFY zarnRepositoryChanged)
    Q_PROPERTY(Repository *repository READ repository NOTIFY repositoryChanged)
    Q_PROPERTY(LayoutModel *layoutModel READ layoutModel NOTIFY layoutModelChanged)
    // The names of the layouts published to companions, in the same order.
    Q_PROPERTY(QStringList layoutsList READ layoutsList NOTIFY layoutsListChanged)
    // The layout shown now, however it was chosen; empty while none or a single stream is shown.
    Q_PROPERTY(QString currentLayout READ currentLayout NOTIFY currentLayoutChanged)
    Q_PROPERTY(Reconnector *reconnector READ reconnector CONSTANT)
    // The events of the site and of the console's rules, kept across runs.
    Q_PROPERTY(EventList *events READ events CONSTANT)
    // Sounds the alarm for new events of the alarm classes (settings Events/alarmClasses,
    // Events/sound).
    Q_PROPERTY(AlarmSounder *alarmSounder READ alarmSounder CONSTANT)
    // What each stream has recorded, one shared model per stream and server.
    Q_PROPERTY(StreamHistories *histories READ histories CONSTANT)
    // Each file the operator hands over (clip, CSV, snapshot) as an "audit.EXPORT" event.
    Q_PROPERTY(AuditTrail *audit READ audit CONSTANT)
    // The operator's bookmarks of every camera, kept across runs.
    Q_PROPERTY(BookmarkList *bookmarks READ bookmarks CONSTANT)

public:
    explicit App(QObject *parent = nullptr);
    ~App() override;

    // The App of the process; null before it is built and once its destruction has begun.
    static App *instance();

    Q_INVOKABLE void fetchLayoutsList();
    // The live page asks for this when it opens: until a layout has been applied, the server's
    // first layout is shown (now, or as soon as the list arrives) instead of a black page.
    Q_INVOKABLE void showFirstLayoutUntilOneIsApplied();
    // The console's own navigation, served exactly like the companions' requests.
    Q_INVOKABLE void applyLayout(const QString &name);
    Q_INVOKABLE void jumpToPage(const QString &page);
    // Shows one stream alone, in a layout of one cell.
    Q_INVOKABLE void showStreamAlone(const QString &streamId);
    // After showStreamAlone: the layout shown before it again (Esc). False when no stream is
    // shown alone, or nothing was shown before it.
    Q_INVOKABLE bool leaveStreamAlone();

    QStringList layoutsList() const;
    QString currentLayout() const { return m_currentLayout; }

    User *currentUser() const { return nullptr; }
    ZarnClient *zarnClient() const { return m_zarnClient.get(); }
    ZarnObjectsRepository *zarnRepository() const { return m_zarnRepository.get(); }
    LayoutModel *layoutModel() const { return m_layoutModel.get(); }
    Repository *repository() const;
    Reconnector *reconnector() const { return m_reconnector; }
    EventList *events() const { return m_events; }
    AlarmSounder *alarmSounder() const { return m_alarmSounder; }
    StreamHistories *histories() const { return m_histories; }
    AuditTrail *audit() const { return m_audit; }
    BookmarkList *bookmarks() const { return m_bookmarks; }

    // The remote-control host; its service() publishes the signed-in state and the layouts.
    RpcSource *rpcSource() const { return m_rpcSource.get(); }

signals:
    void currentUserChanged();
    void zarnClientChanged();
    void zarnRepositoryChanged();
    void repositoryChanged();
    void layoutModelChanged();
    void loginError(QString message);
    void loggedIn();
    void loggedOut();
    void requestedJumpPage(QString page);
    void layoutsListChanged();
    void currentLayoutChanged();
    // The server refused the stored credentials while reconnecting: back to the login screen.
    void loginRequired(QString message);

public slots:
    void login(QString username, QString password, QString host, int port);

private:
    // Sign-in and loading; the handlers are connected once, in the constructor.
    void connectZarnClient();
    void onZarnConnected();
    void onZarnLoggedIn(qlonglong id);
    void onObjectsFailed(const ardix::zarn::HandlerError &error);
    void onLayouts(const ardix::zarn::NameValueMap &map);
    void onLayoutsFailed(const ardix::zarn::HandlerError &error);
    void publishLayouts(const ardix::zarn::NameValueMap &map);
    void showFirstLayoutIfWanted();
    // Losing and regaining the event server.
    void onZarnLoggedOut();
    void onReconnectDue();
    void onConnectFailed(const QString &message);
    void onLoginRefused(const QString &message);

    // Requests pass the gate; only the document that comes through is read and applied.
    void onSetLayoutRequested(const QString &name, const QString &json);
    void applyRequestedLayout(const QString &name, const QString &json);
    void setCurrentLayout(const QString &name);
    void onJumpPageRequested(client_ServiceSource::ClientPage page);

    static App *s_instance;
    // Made first and released last: the local store outlives every other service.
    std::shared_ptr<SQLiteRepository> m_repository;
    std::shared_ptr<ZarnObjectsRepository> m_zarnRepository;
    std::shared_ptr<ZarnClient> m_zarnClient;
    std::shared_ptr<LayoutModel> m_layoutModel;
    std::shared_ptr<RpcSource> m_rpcSource;
    QList<client_Layout> m_layouts;
    bool m_layoutApplied = false;
    bool m_firstLayoutWanted = false;
    LastLayoutMemory m_lastLayout;
    LayoutRequestGate *m_layoutGate = nullptr;
    QString m_currentLayout;
    // What showStreamAlone replaced, for leaveStreamAlone; kept while streams are shown alone.
    bool m_streamAlone = false;
    LayoutGrid m_gridBeforeAlone;
    QString m_layoutBeforeAlone;
    Reconnector *m_reconnector = nullptr;
    EventList *m_events = nullptr;
    AlarmSounder *m_alarmSounder = nullptr;
    StreamHistories *m_histories = nullptr;
    AuditTrail *m_audit = nullptr;
    BookmarkList *m_bookmarks = nullptr;
};
