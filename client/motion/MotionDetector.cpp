#include "MotionDetector.h"

#include <algorithm>
#include <cstdlib>

MotionDetector::Level MotionDetector::level(int sensitivity)
{
    switch (std::clamp(sensitivity, 0, kLevels - 1)) {
    case 0:
        return Level{32, 30};
    case 2:
        return Level{14, 6};
    default:
        return Level{22, 12};
    }
}

MotionDetector::MotionDetector(const QByteArray &mask, int width, int height, Level level)
    : m_mask(mask)
    , m_width(width)
    , m_height(height)
    , m_level(level)
    // The pixel counts are tuned on 80x45 pictures (640x360 video): larger ones scale.
    , m_threshold(std::max(2, int(qint64(level.changedMin) * width * height / (80 * 45))))
{
    // A small area needs less: a tenth of it, at least 3 pixels.
    const int covered = int(std::count(mask.begin(), mask.end(), '\1'));
    m_threshold = std::min(m_threshold, std::max(3, covered / 10));
}

int MotionDetector::changed(const QByteArray &a, const QByteArray &b) const
{
    const int n = m_width * m_height;
    if (a.size() != n || b.size() != n || m_mask.size() != n)
        return 0;
    m_changedBits.resize(n);
    const auto *pa = reinterpret_cast<const uchar *>(a.constData());
    const auto *pb = reinterpret_cast<const uchar *>(b.constData());
    for (int i = 0; i < n; ++i)
        m_changedBits[i] = char(m_mask[i] && std::abs(int(pa[i]) - int(pb[i])) > m_level.greyStep);
    int count = 0;
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            const int i = y * m_width + x;
            if (!m_changedBits[i])
                continue;
            const bool beside = (x > 0 && m_changedBits[i - 1]) ||
                                (x + 1 < m_width && m_changedBits[i + 1]) ||
                                (y > 0 && m_changedBits[i - m_width]) ||
                                (y + 1 < m_height && m_changedBits[i + m_width]);
            count += beside;
        }
    }
    return count;
}

void MotionDetector::add(qint64 t, const QByteArray &picture)
{
    if (picture.isEmpty()) {
        close();
        m_previous.clear();
        m_previousAt = -1;
        return;
    }
    if (!m_previous.isEmpty()) {
        const int change = changed(m_previous, picture);
        if (change >= m_threshold) {
            if (m_open && m_previousAt - m_current.end >= kJoinMs)
                close();
            if (!m_open) {
                m_open = true;
                m_current = Moment{m_previousAt, t, t, change};
                // Something entering slowly changes a little first: the moment starts there.
                for (auto it = m_weak.crbegin(); it != m_weak.crend(); ++it) {
                    if (it->second != m_current.start || it->first <= m_lastClosedEnd)
                        break;
                    m_current.start = it->first;
                }
                m_weak.clear();
            }
            m_current.end = t;
            if (change > m_current.change) {
                m_current.change = change;
                m_current.peak = t;
            }
        } else {
            if (m_open && t - m_current.end >= kJoinMs)
                close();
            if (!m_open && change >= std::max(2, m_threshold / 4)) {
                m_weak.append({m_previousAt, t});
                if (m_weak.size() > kWeakPairs)
                    m_weak.removeFirst();
            } else {
                m_weak.clear();
            }
        }
    }
    m_previous = picture;
    m_previousAt = t;
}

void MotionDetector::close()
{
    if (m_open) {
        m_moments.append(m_current);
        m_lastClosedEnd = m_current.end;
    }
    m_open = false;
    m_weak.clear();
}

QVector<MotionDetector::Moment> MotionDetector::takeMoments()
{
    QVector<Moment> taken;
    taken.swap(m_moments);
    return taken;
}

QVector<MotionDetector::Moment> MotionDetector::finish()
{
    close();
    return takeMoments();
}
