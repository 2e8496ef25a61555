#include "PosTextHours.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QSettings>

#include <algorithm>

namespace {

bool earlier(const PosText &a, const PosText &b)
{
    return a.time < b.time;
}

// What an hour costs besides its texts: its entry, its index and its state.
constexpr qint64 kHourBytes = 160;
// Requests beyond this many hours are not scanned hour by hour (a range of years).
constexpr qint64 kMostHours = 31 * 24;

} // namespace

PosTextHours::PosTextHours(qint64 limitBytes, QObject *parent)
    : QObject(parent)
    , m_limit(qMax<qint64>(0, limitBytes))
{}

PosTextHours::~PosTextHours() = default;

PosTextHours *PosTextHours::shared()
{
    static QPointer<PosTextHours> hours;
    if (hours)
        return hours;
    const QVariant setting = QSettings().value(QStringLiteral("Receipts/cacheMB"));
    bool ok = false;
    int mb = setting.toInt(&ok);
    if (setting.isNull()) {
        mb = kDefaultLimitMb;
    } else if (!ok || mb < 1) {
        qWarning().noquote() << QStringLiteral("Receipts/cacheMB \"%1\" is not a number of MB of "
                                               "at least 1: %2 MB kept")
                                    .arg(setting.toString())
                                    .arg(kDefaultLimitMb);
        mb = kDefaultLimitMb;
    }
    // Owned by the application: it goes with it.
    hours = new PosTextHours(qint64(mb) * 1024 * 1024, QCoreApplication::instance());
    return hours;
}

void PosTextHours::setLimitBytes(qint64 bytes)
{
    m_limit = qMax<qint64>(0, bytes);
    trim();
}

qint64 PosTextHours::sizeOf(const PosText &text)
{
    // the entry, the string's header and its UTF-16 characters
    return qint64(sizeof(PosText)) + 32 + 2 * qint64(text.text.size());
}

const PosTextHours::Hour *PosTextHours::find(const QString &key, qint64 hour)
{
    const auto it = m_index.constFind(Id(key, hour));
    if (it == m_index.constEnd())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, it.value());
    return &it.value()->hour;
}

PosTextHours::Hour &PosTextHours::entry(const QString &key, qint64 hour)
{
    const Id id(key, hour);
    const auto it = m_index.constFind(id);
    if (it != m_index.constEnd()) {
        m_order.splice(m_order.begin(), m_order, it.value());
        return it.value()->hour;
    }
    m_order.push_front(Entry{id, Hour{}});
    m_index.insert(id, m_order.begin());
    ++m_keys[key];
    m_order.front().hour.bytes = kHourBytes;
    m_bytes += kHourBytes;
    return m_order.front().hour;
}

void PosTextHours::store(const QString &key, qint64 hour, qint64 from, qint64 to,
                         const QVector<PosText> &texts, qint64 fetchedAt, bool whole, bool final)
{
    from = qMax(from, hour);
    to = qMin(to, hour + kHour);
    Hour &h = entry(key, hour);
    QVector<PosText> inside;
    for (const PosText &t : texts) {
        if (t.time >= from && t.time < to)
            inside.append(t);
    }
    std::stable_sort(inside.begin(), inside.end(), earlier);
    // One pass: the texts before the range, the range's new ones, the texts after it.
    const auto first =
        std::lower_bound(h.texts.cbegin(), h.texts.cend(), PosText{from, {}}, earlier);
    const auto last = std::lower_bound(first, h.texts.cend(), PosText{to, {}}, earlier);
    QVector<PosText> merged;
    merged.reserve(int(h.texts.size() - (last - first) + inside.size()));
    std::copy(h.texts.cbegin(), first, std::back_inserter(merged));
    merged.append(inside);
    std::copy(last, h.texts.cend(), std::back_inserter(merged));
    h.texts = std::move(merged);
    qint64 bytes = kHourBytes;
    for (const PosText &t : qAsConst(h.texts))
        bytes += sizeOf(t);
    m_bytes += bytes - h.bytes;
    h.bytes = bytes;
    if (whole) {
        h.fetchedAt = fetchedAt;
        h.final = final;
        h.failedAt = -1;
    }
    trim();
    emit changed(key);
}

void PosTextHours::markFailed(const QString &key, qint64 hour, qint64 at)
{
    Hour &h = entry(key, hour);
    h.failedAt = at;
    h.final = false;
    trim();
    emit changed(key);
}

QVector<PosText> PosTextHours::between(const QString &key, qint64 from, qint64 to)
{
    QVector<PosText> out;
    if (to <= from || !m_keys.contains(key))
        return out;
    const qint64 first = from - ((from % kHour) + kHour) % kHour;
    if ((to - first) / kHour > kMostHours) {
        // a range of years: the hours held are fewer than the hours in it
        QVector<qint64> hours;
        for (const Entry &e : m_order) {
            if (e.id.first == key && e.id.second < to && e.id.second + kHour > from)
                hours.append(e.id.second);
        }
        std::sort(hours.begin(), hours.end());
        for (qint64 hour : qAsConst(hours))
            out += between(key, qMax(from, hour), qMin(to, hour + kHour));
        return out;
    }
    for (qint64 hour = first; hour < to; hour += kHour) {
        const Hour *h = find(key, hour);
        if (!h)
            continue;
        auto it = std::lower_bound(h->texts.cbegin(), h->texts.cend(), PosText{from, {}}, earlier);
        for (; it != h->texts.cend() && it->time < to; ++it)
            out.append(*it);
    }
    return out;
}

bool PosTextHours::failedBetween(const QString &key, qint64 from, qint64 to) const
{
    if (!m_keys.contains(key))
        return false;
    for (const Entry &e : m_order) {
        if (e.id.first == key && e.hour.failedAt >= 0 && e.id.second < to &&
            e.id.second + kHour > from)
            return true;
    }
    return false;
}

void PosTextHours::trim()
{
    QSet<QString> dropped;
    // The hour used last stays, however large: it is what is shown.
    while (m_bytes > m_limit && m_order.size() > 1) {
        const Entry &e = m_order.back();
        m_bytes -= e.hour.bytes;
        dropped.insert(e.id.first);
        if (--m_keys[e.id.first] == 0)
            m_keys.remove(e.id.first);
        m_index.remove(e.id);
        m_order.pop_back();
    }
    for (const QString &key : qAsConst(dropped))
        emit changed(key);
}
