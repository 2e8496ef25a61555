#include "LogFile.h"

#include <QDir>
#include <QFileInfo>

LogFile::LogFile(std::string path, bool createFolder, std::size_t maxBytesPerSecond)
    : m_path(std::move(path))
    , m_createFolder(createFolder)
    , m_maxBytesPerSecond(maxBytesPerSecond)
{}

void LogFile::writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::lock_guard<std::mutex> lock(m_mutex);
    openOnce();
    if (!m_stream.good() || !withinBudget(static_cast<std::size_t>(bytes.size()) + 1))
        return;
    writeRaw(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool LogFile::withinBudget(std::size_t bytes)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_windowStart >= std::chrono::seconds(1)) {
        m_windowStart = now;
        m_windowBytes = 0;
        if (m_dropped > 0) {
            const std::string note = std::to_string(m_dropped) + " log lines dropped: more than " +
                                     std::to_string(m_maxBytesPerSecond) + " bytes in one second";
            m_dropped = 0;
            m_windowBytes = note.size() + 1;
            writeRaw(note.data(), note.size());
        }
    }
    if (m_windowBytes + bytes > m_maxBytesPerSecond) {
        ++m_dropped;
        return false;
    }
    m_windowBytes += bytes;
    return true;
}

void LogFile::writeRaw(const char *data, std::size_t size)
{
    m_stream.write(data, static_cast<std::streamsize>(size));
    m_stream.put('\n');
    m_stream.flush();
}

void LogFile::openOnce()
{
    if (m_opened)
        return;
    m_opened = true;
    if (m_path.empty()) {
        m_stream.setstate(std::ios::failbit);
        return;
    }
    if (m_createFolder) {
        // A fresh account has no application data folder yet; without it every message of
        // the first run would be lost.
        QDir().mkpath(QFileInfo(QString::fromStdString(m_path)).absolutePath());
    }
    m_stream.open(m_path, std::ios::out | std::ios::app);
}
