#include "LogCapture.h"

namespace {
LogCapture *s_active = nullptr;
// Held while a message is recorded and while a capture ends: a library thread may log at the
// moment the capture is destroyed, and must not record into freed memory. Recursive because a
// previous handler may itself log.
std::recursive_mutex s_activeMutex;
} // namespace

LogCapture::LogCapture()
{
    std::lock_guard<std::recursive_mutex> lock(s_activeMutex);
    m_outer = s_active;
    s_active = this;
    const QtMessageHandler previous = qInstallMessageHandler(&LogCapture::handler);
    m_previous = m_outer ? m_outer->m_previous : previous;
}

LogCapture::~LogCapture()
{
    std::lock_guard<std::recursive_mutex> lock(s_activeMutex);
    s_active = m_outer;
    if (!m_outer)
        qInstallMessageHandler(m_previous);
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    std::lock_guard<std::recursive_mutex> activeLock(s_activeMutex);
    LogCapture *innermost = s_active;
    if (!innermost)
        return;
    const QString line = qFormatLogMessage(type, context, text);
    for (LogCapture *capture = innermost; capture; capture = capture->m_outer) {
        std::lock_guard<std::mutex> lock(capture->m_mutex);
        capture->m_entries.append({type, line});
    }
    if (innermost->m_previous)
        innermost->m_previous(type, context, text);
}

QStringList LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList result;
    for (const Entry &e : m_entries)
        result.append(e.text);
    return result;
}

QStringList LogCapture::lines(QtMsgType type) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList result;
    for (const Entry &e : m_entries) {
        if (e.type == type)
            result.append(e.text);
    }
    return result;
}

QStringList LogCapture::linesStartingWith(const QString &prefix) const
{
    QStringList result;
    for (const QString &line : lines()) {
        if (line.startsWith(prefix))
            result.append(line);
    }
    return result;
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
}
