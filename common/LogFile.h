#pragma once

#include <QString>

#include <fstream>
#include <mutex>
#include <string>

// One append-only log file shared by every thread of the process. The stream opens on the
// first line written, so a run that logs nothing leaves no file behind, and a file that
// cannot be opened makes every later line a silent no-op instead of a failure.
class LogFile
{
public:
    explicit LogFile(std::string path, bool createFolder);

    void writeLine(const QString &line);
    const std::string &path() const { return m_path; }

private:
    void openOnce();

    std::string m_path;
    bool m_createFolder;
    bool m_opened = false;
    std::mutex m_mutex;
    std::ofstream m_stream;
};
