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
    if (m_sim)
        m_sim->stop();
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
    sim::SimulatorOptions options;
    options.site = std::move(*site);
    options.log = [this](const std::string &line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
    };
    m_sim = std::make_unique<sim::Simulator>(std::move(options));
    if (!m_sim->start(&error)) {
        qWarning("simulator did not start: %s", error.c_str());
        return false;
    }

    m_app = std::make_unique<App>();
    return true;
}

bool SiteFixture::signIn()
{
    QSignalSpy rebuilt(m_app->zarnRepository(), &ZarnObjectsRepository::dataChanged);
    m_app->login(QStringLiteral("operator"), QStringLiteral("operator"),
                 QStringLiteral("127.0.0.1"), m_sim->eventPort());
    if (!rebuilt.wait(10000))
        return false;
    // The layout list follows the object tree; every site of these tests holds layouts.
    const std::shared_ptr<client_Service> service = m_app->rpcSource()->service();
    return QTest::qWaitFor([&] { return !service->layoutList().isEmpty(); }, 10000);
}

QStringList SiteFixture::serverLines(const QString &text) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList found;
    for (const std::string &line : m_lines) {
        const QString l = QString::fromStdString(line);
        if (l.contains(text))
            found.append(l);
    }
    return found;
}
