#include "App.h"

#include "LayoutRequestGate.h"
#include "RpcSource.h"
#include "SQLiteRepository.h"
#include "SingleStreamLayout.h"
#include "ThreadHandOver.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>
#include <QSettings>

#include <utility>

App *App::s_instance = nullptr;

namespace {

// Layout documents are parsed on the GUI thread: this bounds the parse to a fraction of a
// second and leaves room for any real layout (the demo's largest takes a few KiB).
constexpr int kMaxLayoutDocumentChars = 16 * 1024 * 1024;

void registerApp()
{
    qmlRegisterSingletonType<App>("Native", 1, 0, "App",
                                  [](QQmlEngine *, QJSEngine *) -> QObject * { return new App; });
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerApp)

App::App(QObject *parent)
    : QObject(parent)
{
    s_instance = this;

    m_repository = std::make_shared<SQLiteRepository>();
    m_zarnRepository = std::make_shared<ZarnObjectsRepository>();
    m_zarnClient = std::make_shared<ZarnClient>();
    m_zarnClient->setRepository(m_zarnRepository.get());
    m_reconnector = new Reconnector(this);
    connect(m_reconnector, &Reconnector::attemptDue, this, &App::onReconnectDue);
    connectZarnClient();
    m_histories = new StreamHistories(this);
    m_histories->setClient(m_zarnClient.get());
    m_histories->setRepository(m_zarnRepository.get());
    m_events = new EventList(QStringLiteral("data.sqlite"), this);
    m_events->setRepository(m_zarnRepository.get());
    connect(m_zarnClient.get(), &ZarnClient::eventArrived, m_events, &EventList::addServerEvent);
    {
        // Ardix.conf: [Events] alarmClasses=door.FORCED,motion and sound=false.
        const QSettings settings;
        m_events->setAlarmClasses(
            settings.value(QStringLiteral("Events/alarmClasses"), EventList::defaultAlarmClasses())
                .toStringList());
        const bool sound = settings.value(QStringLiteral("Events/sound"), true).toBool();
        m_alarmSounder = new AlarmSounder(m_events, sound, this);
    }
    m_audit = new AuditTrail(m_events, this);
    m_bookmarks = new BookmarkList(QStringLiteral("data.sqlite"), this);
    m_bookmarks->setRepository(m_zarnRepository.get());

    m_layoutModel = std::make_shared<LayoutModel>();
    m_layoutGate = new LayoutRequestGate(
        [this](const QString &name, const QString &json) { applyRequestedLayout(name, json); }, 100,
        this);

    m_rpcSource = std::make_shared<RpcSource>();
    m_rpcSource->start();
    const std::shared_ptr<client_Service> service = m_rpcSource->service();
    connect(service.get(), &client_Service::setLayoutRequested, this, &App::onSetLayoutRequested);
    connect(service.get(), &client_Service::jumpPageRequested, this, &App::onJumpPageRequested);
}

App::~App()
{
    s_instance = nullptr;
    // Replicas must stop reaching the console before the objects that serve them go.
    m_rpcSource.reset();
}

App *App::instance()
{
    return s_instance;
}

Repository *App::repository() const
{
    return m_repository.get();
}

void App::login(QString username, QString password, QString host, int port)
{
    m_zarnClient->setHost(host);
    m_zarnClient->setPort(port);
    m_zarnClient->setUsername(username);
    m_zarnClient->setPassword(password);
    m_zarnClient->connectToZarn();
}

void App::connectZarnClient()
{
    // Once for the whole run: connecting per login() would answer every later attempt once
    // for each earlier one (signing in several times).
    ZarnClient *client = m_zarnClient.get();
    connect(client, &ZarnClient::connected, this, &App::onZarnConnected);
    // The reason is in the log already: ZarnClient passes on the library's warning.
    connect(client, &ZarnClient::connectError, this, &App::onConnectFailed);
    connect(client, &ZarnClient::loggedIn, this, &App::onZarnLoggedIn);
    connect(client, &ZarnClient::loggedOut, this, &App::onZarnLoggedOut);
    connect(client, &ZarnClient::loginError, this, &App::onLoginRefused);
    connect(client, &ZarnClient::error, this,
            [](const QString &message) { qDebug() << "Error: " << message; });
}

void App::onZarnConnected()
{
    qInfo() << "Connected to Zarn";
    qInfo() << "Logging in";
    m_zarnClient->login();
}

void App::onZarnLoggedOut()
{
    qInfo() << "Logged out";
    qWarning() << "Connection to the event server lost";
    // Companions must not keep offering a console that has lost its sign-in.
    if (m_rpcSource && m_rpcSource->service())
        m_rpcSource->service()->setLoggedOut();
    emit loggedOut();
    m_reconnector->begin();
}

void App::onReconnectDue()
{
    qInfo() << "Reconnecting to the event server, attempt" << m_reconnector->attempt();
    m_zarnClient->connectToZarn();
}

void App::onConnectFailed(const QString &message)
{
    if (m_reconnector->isActive()) {
        qInfo() << "Reconnect failed:" << message;
        m_reconnector->attemptFailed();
        return;
    }
    // The reason is in the log already: ZarnClient passes on the library's warning.
    emit loginError(QStringLiteral("Failed to connect"));
}

void App::onLoginRefused(const QString &message)
{
    qWarning() << "Login error: " << message;
    if (m_reconnector->isActive()) {
        // The credentials no longer hold (a password changed meanwhile): retrying cannot help,
        // the operator has to sign in anew.
        m_reconnector->finish();
        emit loginRequired(message);
        return;
    }
    emit loginError(message);
}

void App::onZarnLoggedIn(qlonglong id)
{
    if (m_reconnector->isActive()) {
        qInfo() << "Reconnected to the event server";
        m_reconnector->finish();
    }
    if (m_rpcSource && m_rpcSource->service())
        m_rpcSource->service()->setLoggedIn(true);
    qInfo() << "Logged in, id: " << id;
    m_events->setUser(m_zarnClient->username());
    m_bookmarks->setUser(m_zarnClient->username());
    qInfo() << "Fetching objects ...";
    emit loggedIn();
    // The layouts are asked for once the tree is in: their cells are resolved against it.
    m_zarnClient->loadObjects(
        [this] {
            qInfo() << "Fetching layouts ...";
            fetchLayoutsList();
        },
        [this](const ardix::zarn::HandlerError &error) { onObjectsFailed(error); });
}

void App::onObjectsFailed(const ardix::zarn::HandlerError &error)
{
    qWarning() << "Fetching objects failed:" << QString::fromStdString(error.description());
}

void App::fetchLayoutsList()
{
    m_zarnClient->getDynamicAttribute(
        ZarnClient::AttrLayout, QString(),
        [this](const ardix::zarn::NameValueMap &map) { onLayouts(map); },
        [this](const ardix::zarn::HandlerError &error) { onLayoutsFailed(error); });
}

void App::onLayouts(const ardix::zarn::NameValueMap &map)
{
    // The library's thread: the remote-control source lives on the GUI thread.
    ThreadHandOver::post(
        this,
        [this, copy = map]() mutable {
            // Taken over here, so that the values are released on this thread.
            const ardix::zarn::NameValueMap taken = std::move(copy);
            publishLayouts(taken);
        },
        Qt::AutoConnection);
}

void App::onLayoutsFailed(const ardix::zarn::HandlerError &error)
{
    qWarning() << "Fetching layouts failed:" << QString::fromStdString(error.description());
}

void App::publishLayouts(const ardix::zarn::NameValueMap &map)
{
    QList<client_Layout> list;
    for (const auto &entry : map.entries()) {
        list.append(client_Layout(QString::fromStdString(entry.first),
                                  ZarnClient::zarnValToVariant(entry.second.value()).toString()));
    }
    if (m_rpcSource && m_rpcSource->service())
        m_rpcSource->service()->setLayoutList(list);
    m_layouts = list;
    emit layoutsListChanged();
    showFirstLayoutIfWanted();
}

void App::onSetLayoutRequested(const QString &name, const QString &json)
{
    if (!LastLayoutMemory::acceptable(name)) {
        qWarning().noquote() << QStringLiteral(
                                    "Layout refused: its name of %1 characters is longer "
                                    "than %2 bytes")
                                    .arg(name.size())
                                    .arg(LastLayoutMemory::maxNameBytes);
        return;
    }
    if (json.size() > kMaxLayoutDocumentChars) {
        qWarning().noquote() << QStringLiteral("Layout refused: its document of %1 characters is "
                                               "longer than %2")
                                    .arg(json.size())
                                    .arg(kMaxLayoutDocumentChars);
        return;
    }
    m_layoutGate->request(name, json);
}

void App::applyRequestedLayout(const QString &name, const QString &json)
{
    LayoutGrid grid;
    if (!LayoutModel::read(json, &grid)) {
        qWarning() << "Layout not applied, its document is not a layout:" << name;
        return;
    }
    if (grid.cells.isEmpty()) {
        qWarning() << "Layout not applied, it has no valid cell:" << name;
        return;
    }
    // Kept before anything is said: whoever reads the line may stop the console at once.
    m_lastLayout.remember(name);
    qInfo() << "Applying layout:" << name;
    m_layoutApplied = true;
    m_layoutModel->setGrid(grid);
    setCurrentLayout(name);
}

QStringList App::layoutsList() const
{
    QStringList names;
    for (const client_Layout &layout : m_layouts)
        names.append(layout.name());
    return names;
}

void App::applyLayout(const QString &name)
{
    for (const client_Layout &layout : qAsConst(m_layouts)) {
        if (layout.name() == name) {
            onSetLayoutRequested(layout.name(), layout.json());
            return;
        }
    }
    qWarning() << "No such layout:" << name;
}

void App::jumpToPage(const QString &page)
{
    if (page == QLatin1String("recorder")) {
        onJumpPageRequested(client_ServiceSource::RECORDER);
    } else if (page == QLatin1String("playback")) {
        onJumpPageRequested(client_ServiceSource::PLAYBACK);
    } else if (page == QLatin1String("transactions") || page == QLatin1String("events") ||
               page == QLatin1String("bookmarks")) {
        // The console's own pages: the remote interface has no name for them.
        emit requestedJumpPage(page);
        qInfo().noquote() << "Jumping to page:" << page;
    } else {
        qWarning() << "Unknown page:" << page;
    }
}

void App::showStreamAlone(const QString &streamId)
{
    const ZarnObject *stream = m_zarnRepository->objectById(streamId);
    const QString json = SingleStreamLayout::json(stream);
    if (json.isEmpty()) {
        qWarning() << "No stream to show alone:" << streamId;
        return;
    }
    qInfo() << "Showing stream alone:" << stream->name();
    // Esc brings back what was shown before the first stream shown alone.
    if (!m_streamAlone) {
        m_gridBeforeAlone = {m_layoutModel->numRows(), m_layoutModel->numCols(),
                             m_layoutModel->cells()};
        m_layoutBeforeAlone = m_currentLayout;
    }
    // The operator has chosen what to see: neither the first layout nor a layout requested
    // earlier must replace it.
    m_layoutApplied = true;
    m_layoutGate->drop();
    m_layoutModel->fromJson(json);
    setCurrentLayout(QString());
    m_streamAlone = true;
}

bool App::leaveStreamAlone()
{
    if (!m_streamAlone)
        return false;
    m_streamAlone = false;
    const LayoutGrid grid = std::exchange(m_gridBeforeAlone, LayoutGrid());
    if (grid.cells.isEmpty())
        return false;
    qInfo() << "Back to the layout shown before the stream alone:" << m_layoutBeforeAlone;
    m_layoutModel->setGrid(grid);
    setCurrentLayout(m_layoutBeforeAlone);
    return true;
}

void App::setCurrentLayout(const QString &name)
{
    if (m_currentLayout == name)
        return;
    m_currentLayout = name;
    // Another layout applied: Esc has nothing to bring back.
    if (!name.isEmpty())
        m_streamAlone = false;
    emit currentLayoutChanged();
}

void App::showFirstLayoutUntilOneIsApplied()
{
    m_firstLayoutWanted = true;
    showFirstLayoutIfWanted();
}

void App::showFirstLayoutIfWanted()
{
    if (!m_firstLayoutWanted || m_layoutApplied || m_layouts.isEmpty())
        return;
    m_firstLayoutWanted = false;
    // The layout applied last on this machine, while the server still has it.
    const QString chosen = m_lastLayout.choose(layoutsList());
    for (const client_Layout &layout : qAsConst(m_layouts)) {
        if (layout.name() != chosen)
            continue;
        if (chosen == m_lastLayout.name())
            qInfo() << "Showing the last applied layout:" << layout.name();
        else
            qInfo() << "Showing the first layout:" << layout.name();
        m_layoutModel->fromJson(layout.json());
        setCurrentLayout(layout.name());
        return;
    }
}

void App::onJumpPageRequested(client_ServiceSource::ClientPage page)
{
    switch (page) {
    case client_ServiceSource::RECORDER:
        emit requestedJumpPage(QStringLiteral("recorder"));
        break;
    case client_ServiceSource::PLAYBACK:
        emit requestedJumpPage(QStringLiteral("playback"));
        break;
    default:
        qWarning() << Q_FUNC_INFO;
        qWarning() << "  Unknow page:" << page;
        return;
    }
    qInfo() << "Jumping to page:" << page;
}
