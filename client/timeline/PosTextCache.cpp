#include "PosTextCache.h"

#include <QCoreApplication>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerPosTextCache()
{
    qmlRegisterType<PosTextCache>("Native", 1, 0, "PosTextCache");
}
Q_COREAPP_STARTUP_FUNCTION(registerPosTextCache)

bool earlier(const PosText &a, const PosText &b)
{
    return a.time < b.time;
}

} // namespace

PosTextCache::PosTextCache(QObject *parent)
    : QObject(parent)
{}

PosTextCache::~PosTextCache() = default;

QString PosTextCache::streamId() const
{
    return m_streamId;
}

QString PosTextCache::gateway() const
{
    return m_gateway;
}

bool PosTextCache::busy() const
{
    return false;
}

void PosTextCache::setSource(const QString &streamId, const QString &gateway)
{
    if (streamId == m_streamId && gateway == m_gateway)
        return;
    m_streamId = streamId;
    m_gateway = gateway;
    emit sourceChanged();
    emit changed();
}

void PosTextCache::request(qint64 from, qint64 to)
{
    Q_UNUSED(from)
    Q_UNUSED(to)
}

const QVector<PosText> *PosTextCache::currentTexts() const
{
    const auto it = m_texts.constFind(m_streamId);
    return it == m_texts.constEnd() ? nullptr : &it.value();
}

QVariantList PosTextCache::textsBetween(qint64 from, qint64 to) const
{
    QVariantList out;
    const QVector<PosText> *texts = currentTexts();
    if (!texts)
        return out;
    auto it = std::lower_bound(texts->cbegin(), texts->cend(), PosText{from, {}}, earlier);
    for (; it != texts->cend() && it->time < to; ++it)
        out.append(
            QVariantMap{{QStringLiteral("time"), it->time}, {QStringLiteral("text"), it->text}});
    return out;
}

bool PosTextCache::failedBetween(qint64 from, qint64 to) const
{
    Q_UNUSED(from)
    Q_UNUSED(to)
    return false;
}

QVector<qint64> PosTextCache::timesBetween(qint64 from, qint64 to) const
{
    QVector<qint64> out;
    const QVector<PosText> *texts = currentTexts();
    if (!texts)
        return out;
    auto it = std::lower_bound(texts->cbegin(), texts->cend(), PosText{from, {}}, earlier);
    for (; it != texts->cend() && it->time < to; ++it)
        out.append(it->time);
    return out;
}

void PosTextCache::addTexts(const QString &streamId, qint64 from, qint64 to,
                            const QVector<PosText> &texts)
{
    QVector<PosText> &kept = m_texts[streamId];
    // What the range held before is replaced: a slice asked again brings its texts again.
    const auto first = std::lower_bound(kept.begin(), kept.end(), PosText{from, {}}, earlier);
    const auto last = std::lower_bound(first, kept.end(), PosText{to, {}}, earlier);
    QVector<PosText> inside;
    for (const PosText &t : texts) {
        if (t.time >= from && t.time < to)
            inside.append(t);
    }
    std::stable_sort(inside.begin(), inside.end(), earlier);
    const int at = int(first - kept.begin());
    kept.erase(first, last);
    for (int i = 0; i < inside.size(); ++i)
        kept.insert(at + i, inside.at(i));
    if (streamId == m_streamId)
        emit changed();
}
