// The zarn-sim program end to end: started on a free port with the demo site, a library
// client signs in, lists the objects and reads the layouts; SIGHUP reloads the site file. A
// generated site's cameras play live.
#include "zarn/zarn.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <future>
#include <mutex>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

using namespace ardix::zarn;
using namespace std::chrono_literals;

namespace {

// Runs zarn-sim with the given arguments, collecting its stderr lines.
class SimProcess
{
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        args.insert(args.begin(), ZARN_SIM_PROGRAM);
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, ZARN_SIM_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        reader_ = std::thread([this, fd = fds[0]] {
            FILE *f = fdopen(fd, "r");
            char line[4096];
            while (f && fgets(line, sizeof line, f)) {
                std::lock_guard<std::mutex> lock(mutex_);
                lines_.emplace_back(line);
                changed_.notify_all();
            }
            if (f)
                fclose(f);
            std::lock_guard<std::mutex> lock(mutex_);
            eof_ = true;
            changed_.notify_all();
        });
    }
    ~SimProcess()
    {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        reader_.join();
    }
    // The first line matching the pattern (its first group), waiting up to 10 s.
    std::string waitFor(const std::string &pattern)
    {
        std::regex re(pattern);
        std::unique_lock<std::mutex> lock(mutex_);
        std::string found;
        changed_.wait_for(lock, 10s, [&] {
            for (const auto &l : lines_) {
                std::smatch m;
                if (std::regex_search(l, m, re)) {
                    found = m.size() > 1 ? m[1].str() : m[0].str();
                    return true;
                }
            }
            return eof_;
        });
        return found;
    }
    void signal(int sig) { kill(pid_, sig); }
    int exitCode()
    {
        int status = 0;
        waitpid(pid_, &status, 0);
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = 0;
    bool exited_ = false;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
    bool eof_ = false;
};

template <typename T> T await(std::future<T> f)
{
    EXPECT_EQ(f.wait_for(10s), std::future_status::ready);
    return f.get();
}

// Opens the connection and signs in as the site's operator: the user's id, 0 on a failure.
std::int64_t signInAt(Connection &connection, Client &client, int port)
{
    std::promise<bool> opened;
    connection.open(
        "127.0.0.1", port, [&] { opened.set_value(true); },
        [&](const ConnectionError &) { opened.set_value(false); });
    if (!await(opened.get_future()))
        return 0;
    std::promise<std::int64_t> user;
    client.signIn(
        "operator", "operator", [&](std::int64_t id) { user.set_value(id); },
        [&](const HandlerError &) { user.set_value(0); });
    return await(user.get_future());
}

std::string tempSiteCopy()
{
    const char *tmp = std::getenv("TMPDIR");
    std::string path =
        std::string(tmp ? tmp : "/tmp") + "/zarn-sim-site-" + std::to_string(getpid()) + ".json";
    std::ifstream in(ZARN_DEMO_SITE);
    std::ofstream out(path);
    out << in.rdbuf();
    return path;
}

TEST(ZarnSimProgram, ServesTheDemoSiteAndReloadsOnSighup)
{
    const auto site = tempSiteCopy();
    SimProcess sim({"--site", site, "--port", "0"});
    const auto port = sim.waitFor("listening on 127\\.0\\.0\\.1:(\\d+)");
    ASSERT_FALSE(port.empty());

    std::promise<void> changed;
    std::once_flag once;
    ClientCallbacks callbacks;
    callbacks.objectsChanged = [&] { std::call_once(once, [&] { changed.set_value(); }); };
    Context context;
    Connection connection(ConnectionCallbacks{}, context);
    Client client(callbacks, connection);

    EXPECT_EQ(signInAt(connection, client, std::stoi(port)), 500);

    auto objectCount = [&] {
        std::promise<std::size_t> count;
        client.getObjects(
            [&](const std::vector<Object> &o, std::int64_t) { count.set_value(o.size()); },
            [&](const HandlerError &) { count.set_value(0); });
        return await(count.get_future());
    };
    EXPECT_EQ(objectCount(), 14u);
    std::promise<std::vector<std::string>> layouts;
    client.getDynamicAttribute(
        1, "", [&](const NameValueMap &m) { layouts.set_value(m.names()); },
        [&](const HandlerError &) { layouts.set_value({}); });
    EXPECT_EQ(await(layouts.get_future()).size(), 5u);
    EXPECT_FALSE(sim.waitFor("session 1 getDynamicAttribute -> ok").empty());

    // Add an object to the file and reload it.
    std::ifstream in(site);
    std::stringstream text;
    text << in.rdbuf();
    std::string doc = text.str();
    doc.replace(doc.find("\"objects\": ["), 12,
                R"("objects": [ { "id": 99, "name": "Extra", "type": 7, "parent": 1 },)");
    std::ofstream(site) << doc;
    sim.signal(SIGHUP);
    ASSERT_EQ(changed.get_future().wait_for(10s), std::future_status::ready);
    EXPECT_EQ(objectCount(), 15u);

    sim.signal(SIGTERM);
    EXPECT_EQ(sim.exitCode(), 0);
    std::remove(site.c_str());
}

TEST(ZarnSimProgram, RefusesBadArgumentsAndMissingFiles)
{
    struct Case
    {
        std::vector<std::string> args;
        int code;
    };
    for (const auto &c :
         std::vector<Case>{{{}, 2},
                           {{"--port", "1"}, 2},
                           {{"--site", ZARN_DEMO_SITE, "--port", "x"}, 2},
                           {{"--site", ZARN_DEMO_SITE, "--bogus"}, 2},
                           {{"--site", "/nonexistent.json"}, 1},
                           {{"--generate-site", "ten"}, 2},
                           {{"--generate-site", "5", "--site", ZARN_DEMO_SITE}, 2}}) {
        SimProcess sim(c.args);
        EXPECT_EQ(sim.exitCode(), c.code);
    }
}

// A generated site on free ports: its gateways share one HTTP service, whose port the streams'
// addresses name, and any camera plays there.
TEST(ZarnSimProgram, AGeneratedSitesCamerasPlayOnTheServiceTheirAddressesName)
{
    SimProcess sim(
        {"--generate-site", "300", "--port", "0", "--http-port", "0", "--rtsp-port", "0"});
    const auto port = sim.waitFor("event server listening on 127\\.0\\.0\\.1:(\\d+)");
    const auto http = sim.waitFor("HTTP service listening on 127\\.0\\.0\\.1:(\\d+)");
    ASSERT_FALSE(port.empty() || http.empty());
    EXPECT_FALSE(sim.waitFor("5 gateways share the services of gateway").empty());

    Context context;
    Connection connection(ConnectionCallbacks{}, context);
    Client client(ClientCallbacks{}, connection);
    ASSERT_EQ(signInAt(connection, client, std::stoi(port)), 500);
    std::promise<std::vector<Object>> objects;
    client.getObjects([&](const std::vector<Object> &o, std::int64_t) { objects.set_value(o); },
                      [&](const HandlerError &) { objects.set_value({}); });
    const auto all = await(objects.get_future());
    const auto last =
        std::find_if(all.rbegin(), all.rend(), [](const Object &o) { return o.type() == 10; });
    ASSERT_NE(last, all.rend());
    const std::string path = "/live/" + std::to_string(last->id());
    EXPECT_EQ(last->settings().value("url").toString(),
              "http://127.0.0.1:" + http + path + "[[?profile{EQU}main]]");

    httplib::Client c("127.0.0.1", std::stoi(http));
    c.set_read_timeout(120, 0); // the camera's loop is made on its first view
    std::string bytes;
    c.Get((path + "?profile=main").c_str(), [&](const char *data, std::size_t n) {
        bytes.append(data, n);
        return bytes.size() < 100 * 188;
    });
    ASSERT_GE(bytes.size(), 100u * 188);
    EXPECT_EQ(bytes[0], 0x47); // MPEG-TS
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.exitCode(), 0);
}

} // namespace
