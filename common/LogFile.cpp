#include "LogFile.h"

#include <QDir>
#include <QFileInfo>

LogFile::LogFile(std::string path, bool createFolder)
    : m_path(std::move(path))
    , m_createFolder(createFolder)
{}

void LogFile::writeLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    std::lock_guard<std::mutex> lock(m_mutex);
    openOnce();
    if (!m_stream.good())
        return;
    m_stream.write(bytes.constData(), bytes.size());
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
