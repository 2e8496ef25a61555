#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <fstream>
#include <mutex>
#include <string>

// One append-only log file shared by every thread of the process. The stream opens on the
// first line written, so a run that logs nothing leaves no file behind, and a file that
// cannot be opened makes every later line a silent no-op instead of a failure.
// At most maxBytesPerSecond are written per second; lines beyond are dropped and counted,
// and the next line written after the second tells how many.
class LogFile
{
public:
    static constexpr std::size_t kMaxBytesPerSecond = 1024 * 1024;

    explicit LogFile(std::string path, bool createFolder,
                     std::size_t maxBytesPerSecond = kMaxBytesPerSecond);

    void writeLine(const QString &line);
    const std::string &path() const { return m_path; }

private:
    void openOnce();
    bool withinBudget(std::size_t bytes);
    void writeRaw(const char *data, std::size_t size);

    std::string m_path;
    bool m_createFolder;
    bool m_opened = false;
    std::mutex m_mutex;
    std::ofstream m_stream;
    std::size_t m_maxBytesPerSecond;
    std::chrono::steady_clock::time_point m_windowStart;
    std::size_t m_windowBytes = 0;
    std::size_t m_dropped = 0;
};
