#pragma once

#include <QHash>
#include <QImage>
#include <QString>

#include <list>

// The last pictures made, by key, at most capacity of them: the one used longest ago goes
// first. Sweeping back over a stretch of the timeline finds its pictures here.
class ThumbnailCache
{
public:
    explicit ThumbnailCache(int capacity);

    // The picture of key, marked as used now; null when it is not kept.
    QImage take(const QString &key);
    void put(const QString &key, const QImage &image);
    int size() const { return m_images.size(); }

private:
    struct Entry
    {
        QImage image;
        std::list<QString>::iterator use;
    };
    const int m_capacity;
    std::list<QString> m_uses; // most recent first
    QHash<QString, Entry> m_images;
};
