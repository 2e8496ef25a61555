#include "ThumbnailStrip.h"

#include "MpvObject.h"
#include "RecordingIndex.h"
#include "TimeScale.h"
#include "Timeline.h"
#include "TimelinePlayback.h"
#include "TimelineThumbnails.h"

#include <QCoreApplication>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerThumbnailStrip()
{
    qmlRegisterType<ThumbnailStrip>("Native", 1, 0, "ThumbnailStrip");
}

// How long the view rests before its ticks are asked for: a drag asks for none on its way.
constexpr int kRestMs = 150;
// A picture narrower than this shows nothing: no strip.
constexpr int kMinPictureWidth = 24;

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerThumbnailStrip)

ThumbnailStrip::ThumbnailStrip(QObject *parent)
    : QAbstractListModel(parent)
    , m_pictures(new TimelineThumbnails(this))
{
    m_layOut.setSingleShot(true);
    m_layOut.setInterval(kRestMs);
    connect(&m_layOut, &QTimer::timeout, this, &ThumbnailStrip::layOut);
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(answerTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, [this] { refused(m_askedUrl); });
    connect(m_pictures, &TimelineThumbnails::imageChanged, this,
            [this] { answered(m_pictures->image()); });
    connect(m_pictures, &TimelineThumbnails::failed, this,
            [this](const QString &url) { refused(url); });
}

void ThumbnailStrip::setRecordings(RecordingIndex *index)
{
    if (index == m_index)
        return;
    if (m_index)
        disconnect(m_index, nullptr, this, nullptr);
    m_index = index;
    if (m_index) {
        // Its recordings found: the slots without a picture are asked again.
        connect(m_index, &RecordingIndex::changed, this, &ThumbnailStrip::viewMoved);
        connect(m_index, &RecordingIndex::streamIdChanged, this, &ThumbnailStrip::forgetSlots);
    }
    emit sourceChanged();
    // Another index is another camera's (a page that opens another stream keeps the view): no
    // picture of the last one may stay, nor one on its way.
    forgetSlots();
}

void ThumbnailStrip::setPlayback(TimelinePlayback *playback)
{
    if (playback == m_playback)
        return;
    m_playback = playback;
    emit sourceChanged();
    viewMoved();
}

void ThumbnailStrip::setViewStart(qint64 value)
{
    if (value == m_viewStart)
        return;
    m_viewStart = value;
    emit viewChanged();
    viewMoved();
}

void ThumbnailStrip::setViewEnd(qint64 value)
{
    if (value == m_viewEnd)
        return;
    m_viewEnd = value;
    emit viewChanged();
    viewMoved();
}

void ThumbnailStrip::setWidth(qreal value)
{
    if (qFuzzyCompare(value, m_width))
        return;
    m_width = value;
    emit viewChanged();
    viewMoved();
}

void ThumbnailStrip::viewMoved()
{
    m_layOut.start();
}

void ThumbnailStrip::forgetSlots()
{
    m_asked = -1;
    m_askedUrl.clear();
    m_timeout.stop();
    if (!m_slots.isEmpty()) {
        beginResetModel();
        m_slots.clear();
        endResetModel();
        emit slotsChanged();
    }
    viewMoved();
}

int ThumbnailStrip::slotOf(qint64 time) const
{
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).time == time)
            return i;
    }
    return -1;
}

void ThumbnailStrip::layOut()
{
    const qint64 span = m_viewEnd - m_viewStart;
    QVector<Slot> next;
    int pictureWidth = maxPictureWidth;
    if (m_index && m_playback && span > 0 && span <= maxSpanMs && m_width >= kMinPictureWidth) {
        // The timeline's own font: the same ticks come out of it here.
        const TimeScale scale(m_viewStart, m_viewEnd, m_width, Timeline::scaleFont());
        const double spacing = scale.majorStep() * m_width / span;
        pictureWidth = int(std::min<double>(maxPictureWidth, spacing - 4));
        for (const TimeTick &tick : scale.ticks()) {
            if (pictureWidth < kMinPictureWidth || tick.kind == TimeTick::Minor)
                continue;
            // A picture kept stays; the index may know more or less than it did.
            const int known = slotOf(tick.time);
            Slot slot = known >= 0 ? m_slots.at(known) : Slot{tick.time, {}, false};
            if (slot.image.isNull())
                slot.empty = false;
            next.append(slot);
        }
    }
    const bool sameTicks =
        pictureWidth == m_pictureWidth && next.size() == m_slots.size() &&
        std::equal(next.cbegin(), next.cend(), m_slots.cbegin(),
                   [](const Slot &a, const Slot &b) { return a.time == b.time; });
    if (sameTicks) {
        // The same ticks (the index learnt something): the slots stay, asked again if empty.
        m_slots = next;
        if (!m_slots.isEmpty())
            emit dataChanged(index(0), index(m_slots.size() - 1), {EmptyRole});
    } else {
        beginResetModel();
        m_slots = next;
        m_pictureWidth = pictureWidth;
        endResetModel();
        emit slotsChanged();
    }
    if (m_asked < 0)
        askNext();
}

void ThumbnailStrip::askNext()
{
    m_asked = -1;
    m_askedUrl.clear();
    m_timeout.stop();
    for (Slot &slot : m_slots) {
        if (!slot.image.isNull() || slot.empty)
            continue;
        const QVariantMap chunk = m_index ? m_index->chunkAt(slot.time) : QVariantMap();
        const QString url =
            chunk.isEmpty() || !m_playback
                ? QString()
                : m_playback->recordingUrl(chunk.value(QStringLiteral("start")).toLongLong());
        if (url.isEmpty() || chunk.value(QStringLiteral("unavailable")).toBool() ||
            chunk.value(QStringLiteral("open")).toBool() || m_pictures->refuses(url)) {
            slot.empty = true;
            continue;
        }
        m_asked = slot.time;
        m_askedUrl = url;
        m_timeout.start();
        // A picture kept answers at once, from within show(): the answer is taken then.
        m_pictures->show(url, slot.time - chunk.value(QStringLiteral("start")).toLongLong());
        return;
    }
    const int rows = m_slots.size();
    if (rows > 0)
        emit dataChanged(this->index(0), this->index(rows - 1), {EmptyRole});
}

void ThumbnailStrip::answered(const QImage &image)
{
    if (m_asked < 0 || image.isNull())
        return;
    const int row = slotOf(m_asked);
    if (row >= 0) {
        m_slots[row].image = image;
        emit dataChanged(index(row), index(row), {ImageRole});
    }
    m_asked = -1;
    // The next one after this answer's handling is over: a run of kept pictures is not
    // answered from deeper and deeper inside show().
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_asked < 0)
                askNext();
        },
        Qt::QueuedConnection);
}

void ThumbnailStrip::refused(const QString &url)
{
    if (m_asked < 0 || url != m_askedUrl)
        return;
    // Every moment of that recording stays empty: it is not asked again for a while.
    for (Slot &slot : m_slots) {
        if (slot.image.isNull() && m_index) {
            const QVariantMap chunk = m_index->chunkAt(slot.time);
            if (!chunk.isEmpty() && m_playback &&
                m_playback->recordingUrl(chunk.value(QStringLiteral("start")).toLongLong()) == url)
                slot.empty = true;
        }
    }
    const int row = slotOf(m_asked);
    if (row >= 0)
        m_slots[row].empty = true;
    m_asked = -1;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_asked < 0)
                askNext();
        },
        Qt::QueuedConnection);
}

int ThumbnailStrip::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_slots.size();
}

QVariant ThumbnailStrip::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Slot &slot = m_slots.at(index.row());
    switch (role) {
    case TimeRole:
        return slot.time;
    case ImageRole:
        return slot.image;
    case EmptyRole:
        return slot.empty;
    default:
        return {};
    }
}

QHash<int, QByteArray> ThumbnailStrip::roleNames() const
{
    return {{TimeRole, "time"}, {ImageRole, "image"}, {EmptyRole, "empty"}};
}
