#include "LogCapture.h"

#include <QMutexLocker>

namespace {
LogCapture *s_active = nullptr;
}

LogCapture::LogCapture()
{
    s_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    s_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (LogCapture *self = s_active) {
        QMutexLocker lock(&self->m_mutex);
        self->m_entries.append({type, qFormatLogMessage(type, context, text)});
        if (self->m_previous)
            self->m_previous(type, context, text);
    }
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    QStringList result;
    for (const Entry &e : m_entries)
        result.append(e.text);
    return result;
}

QStringList LogCapture::lines(QtMsgType type) const
{
    QMutexLocker lock(&m_mutex);
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
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}
