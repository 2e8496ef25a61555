#include "SimServer.h"

#include <zarn/Value.h>

#include <utility>

using namespace ardix;

SimServer::SimServer(sim::Site site, bool ephemeralPosPorts)
{
    sim::SimulatorOptions options;
    options.site = std::move(site);
    options.ephemeralPosPorts = ephemeralPosPorts;
    options.log = [this](const std::string &line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
    };
    m_sim = std::make_unique<sim::Simulator>(std::move(options));
}

SimServer::~SimServer()
{
    m_sim->stop();
}

bool SimServer::start()
{
    return m_sim->start();
}

std::unique_ptr<SimServer> SimServer::fromJson(const std::string &json, std::int64_t now,
                                               std::string &error)
{
    auto site = sim::Site::fromJson(json, now, error);
    if (!site)
        return nullptr;
    auto server = std::make_unique<SimServer>(std::move(*site));
    if (!server->start()) {
        error = "the simulated server did not start";
        return nullptr;
    }
    return server;
}

QStringList SimServer::lines(const QString &text) const
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

namespace sites {

sim::SiteObject object(std::int64_t id, const std::string &name, int type, std::int64_t parent,
                       std::vector<std::int64_t> children, const std::string &cls)
{
    sim::SiteObject o;
    o.data.id = id;
    o.data.name = name;
    o.data.type = type;
    o.data.className = cls;
    o.data.parent = parent;
    o.data.children = std::move(children);
    return o;
}

sim::Site withObjects(std::int64_t rootId, std::vector<sim::SiteObject> objects)
{
    sim::Site site;
    site.name = "test";
    site.rootId = rootId;
    site.doorDelayMs = 100;
    site.users.push_back({500, "operator", "operator"});
    site.objects = std::move(objects);
    return site;
}

sim::Site shop()
{
    auto root = object(1, "Shop", 7, 0, {2}, "location.SITE");
    root.attributes.setValue("Hall", zarn::StringValue(R"({"numRows":1,"numCols":1})"));
    root.attributes.setValue("Caf\xc3\xa9", zarn::StringValue(R"({"numRows":2,"numCols":2})"));
    auto device = object(2, "Gateway", 2, 1, {11, 21, 22}, "device.GATEWAY");
    device.data.serialNumber = "GW-1";
    auto stream = object(11, "Entrance", 10, 2, {}, "stream.VIDEO");
    auto sensor = object(21, "Door contact", 8, 2, {}, "sensor.DOOR");
    sensor.data.settings.setValue("layout", zarn::StringValue("front"));
    sensor.value = zarn::ValuePtr(zarn::BoolValue(false));
    auto actuator = object(22, "Door lock", 9, 2, {}, "actuator.DOOR");
    actuator.data.settings.setValue("layout", zarn::StringValue("front"));
    actuator.value = zarn::ValuePtr(zarn::BoolValue(false));
    auto orphan = object(99, "Orphan sensor", 8, 0, {}, "sensor.DOOR");
    orphan.value = zarn::ValuePtr(zarn::BoolValue(false));
    return withObjects(1, {root, device, stream, sensor, actuator, orphan});
}

} // namespace sites
