#include "MotionMoments.h"

#include "MotionDetector.h"

#include <algorithm>

MotionMoments::MotionMoments(QObject *parent)
    : QAbstractListModel(parent)
{}

int MotionMoments::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_moments.size();
}

QVariant MotionMoments::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Moment &m = m_moments.at(index.row());
    switch (role) {
    case StartRole:
        return m.start;
    case EndRole:
        return m.end;
    case DurationRole:
        return m.end - m.start;
    case PeakRole:
        return m.peak;
    case PictureRole:
        return m.picture;
    default:
        return {};
    }
}

QHash<int, QByteArray> MotionMoments::roleNames() const
{
    return {{StartRole, "start"},
            {EndRole, "end"},
            {DurationRole, "duration"},
            {PeakRole, "peak"},
            {PictureRole, "picture"}};
}

void MotionMoments::add(const Moment &moment)
{
    if (moment.end < moment.start)
        return;
    Moment joined = moment;
    // The moments it touches (the list is newest first, so they are neighbours) go into it.
    for (int row = m_moments.size() - 1; row >= 0; --row) {
        const Moment &other = m_moments.at(row);
        if (other.start - joined.end >= MotionDetector::kJoinMs ||
            joined.start - other.end >= MotionDetector::kJoinMs)
            continue;
        joined.start = std::min(joined.start, other.start);
        joined.end = std::max(joined.end, other.end);
        if (other.change > joined.change || joined.picture.isNull()) {
            joined.change = std::max(joined.change, other.change);
            joined.peak = other.peak;
            if (!other.picture.isNull() || joined.picture.isNull())
                joined.picture = other.picture.isNull() ? joined.picture : other.picture;
        }
        beginRemoveRows({}, row, row);
        m_moments.remove(row);
        endRemoveRows();
    }
    const auto it = std::find_if(m_moments.begin(), m_moments.end(),
                                 [&](const Moment &m) { return m.start < joined.start; });
    const int row = int(it - m_moments.begin());
    beginInsertRows({}, row, row);
    m_moments.insert(row, joined);
    endInsertRows();
    emit countChanged();
    emit changed();
}

void MotionMoments::clear()
{
    if (m_moments.isEmpty())
        return;
    beginResetModel();
    m_moments.clear();
    endResetModel();
    emit countChanged();
    emit changed();
}

QVariantMap MotionMoments::get(int row) const
{
    if (row < 0 || row >= m_moments.size())
        return {};
    const Moment &m = m_moments.at(row);
    return {{QStringLiteral("start"), m.start},
            {QStringLiteral("end"), m.end},
            {QStringLiteral("duration"), m.end - m.start},
            {QStringLiteral("peak"), m.peak}};
}

QVector<MotionMoments::Moment> MotionMoments::between(qint64 from, qint64 to) const
{
    QVector<Moment> found;
    for (auto it = m_moments.crbegin(); it != m_moments.crend(); ++it) {
        if (it->end >= from && it->start < to)
            found.append(*it);
    }
    return found;
}
