#include "Reconnector.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QQmlEngine>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, 6> kDelaysMs{1000, 2000, 4000, 8000, 16000, 30000};
// Up to this share of a wait is added at random. Only added: an outage as long as the sum of
// the waits so far is then over before the next attempt, not a moment after it.
constexpr double kJitter = 0.1;

void registerReconnector()
{
    qmlRegisterUncreatableType<Reconnector>("Native", 1, 0, "Reconnector",
                                            QStringLiteral("App.reconnector is the one"));
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerReconnector)

Reconnector::Reconnector(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Reconnector::fire);
}

int Reconnector::baseDelayMs(int attempt)
{
    const int index = std::clamp(attempt - 1, 0, int(kDelaysMs.size()) - 1);
    return kDelaysMs[std::size_t(index)];
}

void Reconnector::begin()
{
    if (m_active)
        return;
    m_active = true;
    m_attempt = 0;
    emit activeChanged();
    schedule();
}

void Reconnector::attemptFailed()
{
    if (m_active)
        schedule();
}

void Reconnector::finish()
{
    m_timer.stop();
    m_nextAttemptAt = 0;
    if (!m_active)
        return;
    m_active = false;
    m_attempt = 0;
    emit nextAttemptChanged();
    emit activeChanged();
}

void Reconnector::schedule()
{
    const int base = baseDelayMs(m_attempt + 1);
    const double spread = QRandomGenerator::global()->generateDouble() * kJitter;
    const int delay = std::max(100, int(base * (1.0 + spread)));
    ++m_attempt;
    m_nextAttemptAt = QDateTime::currentMSecsSinceEpoch() + delay;
    m_timer.start(delay);
    emit nextAttemptChanged();
}

void Reconnector::fire()
{
    m_nextAttemptAt = 0;
    emit nextAttemptChanged();
    emit attemptDue();
}
