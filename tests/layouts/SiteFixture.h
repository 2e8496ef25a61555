#pragma once

#include "SimServer.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string>

class App;

// A simulated site served in-process on an ephemeral loopback port, and the console's App
// signed in to it with the object tree rebuilt from the real answers.
class SiteFixture
{
public:
    SiteFixture();
    ~SiteFixture();

    // Starts the site of the given site-file text and creates the App, not yet signed in;
    // false (with the reason logged) when the site is refused or the server does not start.
    bool startServer(const std::string &siteJson);
    // Signs in and waits for the object tree and then the layout list to arrive.
    bool signIn();
    bool start(const std::string &siteJson) { return startServer(siteJson) && signIn(); }
    // The demo site of the simulator's own folder.
    static std::string demoSite();

    App *app() const { return m_app.get(); }
    // Server-side log lines that contain text.
    QStringList serverLines(const QString &text) const;

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<App> m_app;
};
