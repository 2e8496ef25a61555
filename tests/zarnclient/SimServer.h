#pragma once

#include <Simulator.h>

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The simulated event server in-process on an ephemeral loopback port, with its log lines
// kept so that tests can count the requests it answered.
class SimServer
{
public:
    // With ephemeralPosPorts the channel-text publishers take free ports, so that parallel
    // tests never compete for a gateway's port; without, they bind the site's "posPort" (a
    // test that lets the console find them there picks a free one itself).
    explicit SimServer(ardix::sim::Site site, bool ephemeralPosPorts = true);
    ~SimServer();

    bool start();
    // The site described by json, at `now` (ms since the epoch), started; null with the reason in
    // error when the site is refused or the server does not start.
    static std::unique_ptr<SimServer> fromJson(const std::string &json, std::int64_t now,
                                               std::string &error);
    ardix::sim::Simulator &sim() { return *m_sim; }
    int port() const { return m_sim->eventPort(); }

    // Lines that contain text, in order.
    QStringList lines(const QString &text) const;
    int count(const QString &text) const { return lines(text).size(); }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::unique_ptr<ardix::sim::Simulator> m_sim;
};

// Small sites for the tests. User 500 "operator"/"operator" in all of them.
namespace sites {

ardix::sim::SiteObject object(std::int64_t id, const std::string &name, int type,
                              std::int64_t parent, std::vector<std::int64_t> children = {},
                              const std::string &cls = std::string());
ardix::sim::Site withObjects(std::int64_t rootId, std::vector<ardix::sim::SiteObject> objects);
// A shop: location 1 > device 2 > stream 11, sensor 21 and door actuator 22 (paired, 100 ms),
// plus sensor 99 that no child list reaches. Object 1 holds two layout attributes.
ardix::sim::Site shop();

} // namespace sites
