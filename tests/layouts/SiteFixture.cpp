#include "SiteFixture.h"

#include "App.h"
#include "RpcSource.h"
#include "client_Service.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace ardix;

SiteFixture::SiteFixture() = default;

SiteFixture::~SiteFixture()
{
    // The console goes first, so that it never sees the server vanish under a request.
    m_app.reset();
    m_server.reset();
}

std::string SiteFixture::demoSite()
{
    QFile file(QStringLiteral(ARDIX_DEMO_SITE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

bool SiteFixture::startServer(const std::string &siteJson)
{
    std::string error;
    std::optional<sim::Site> site = sim::Site::fromJson(siteJson, sim::nowMs(), error);
    if (!site) {
        qWarning("site rejected: %s", error.c_str());
        return false;
    }
    m_server = std::make_unique<SimServer>(std::move(*site));
    if (!m_server->start()) {
        qWarning("simulator did not start");
        return false;
    }

    m_app = std::make_unique<App>();
    return true;
}

bool SiteFixture::signIn()
{
    QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
    m_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                 QStringLiteral("127.0.0.1"), m_server->port());
    if (!rebuilt.wait(10000))
        return false;
    // The layout list follows the object tree; every site of these tests holds layouts.
    const std::shared_ptr<client_Service> service = m_app->rpcSource()->service();
    return QTest::qWaitFor([&] { return !service->layoutList().isEmpty(); }, 10000);
}

QStringList SiteFixture::serverLines(const QString &text) const
{
    return m_server->lines(text);
}
