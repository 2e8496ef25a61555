#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QVector>

// The moments a motion search found, newest first: start and end (ms since the epoch), the
// moment of most motion and its picture. Moments that touch or lie less than
// MotionDetector::kJoinMs apart (found in neighbouring parts of a recording) become one. Kept
// until the next search; the timeline draws them.
class MotionMoments : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        StartRole = Qt::UserRole + 1,
        EndRole,
        DurationRole,
        PeakRole,
        PictureRole,
    };
    struct Moment
    {
        qint64 start = 0;
        qint64 end = 0;
        qint64 peak = 0;
        int change = 0;
        QImage picture;
    };

    explicit MotionMoments(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return m_moments.size(); }

    // A moment found: added in its place, or joined with those it touches.
    void add(const Moment &moment);
    void clear();
    // The moment at `row` as {start, end, duration, peak}; empty outside the list.
    Q_INVOKABLE QVariantMap get(int row) const;
    // The moments that meet [from, to), oldest first, for drawing.
    QVector<Moment> between(qint64 from, qint64 to) const;

signals:
    void countChanged();
    // Any moment added, joined or removed.
    void changed();

private:
    QVector<Moment> m_moments; // newest (latest start) first
};
