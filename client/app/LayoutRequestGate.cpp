#include "LayoutRequestGate.h"

#include <QDebug>

#include <algorithm>

namespace {

// A pause never grows past this, so that a slow build does not hold the next one long.
constexpr qint64 kMaxPauseMs = 2000;

} // namespace

LayoutRequestGate::LayoutRequestGate(Apply apply, int minPauseMs, QObject *parent)
    : QObject(parent)
    , m_apply(std::move(apply))
    , m_minPauseMs(minPauseMs)
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &LayoutRequestGate::onPauseOver);
}

void LayoutRequestGate::request(const QString &name, const QString &json)
{
    if (!m_pause.isActive()) {
        applyNow(name, json);
        return;
    }
    if (m_waiting)
        ++m_replaced;
    m_waiting = true;
    m_name = name;
    m_json = json;
}

void LayoutRequestGate::drop()
{
    m_waiting = false;
    m_name.clear();
    m_json.clear();
}

void LayoutRequestGate::applyNow(const QString &name, const QString &json)
{
    QElapsedTimer build;
    build.start();
    m_apply(name, json);
    const qint64 pause = std::min(std::max<qint64>(m_minPauseMs, build.elapsed()), kMaxPauseMs);
    m_pause.start(static_cast<int>(pause));
}

void LayoutRequestGate::onPauseOver()
{
    if (!m_waiting)
        return;
    if (m_replaced > 0)
        qInfo() << "Layout requests that came faster than layouts are built, skipped:"
                << m_replaced;
    m_replaced = 0;
    const QString name = std::move(m_name);
    const QString json = std::move(m_json);
    drop();
    applyNow(name, json);
}
