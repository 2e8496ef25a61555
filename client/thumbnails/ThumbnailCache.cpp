#include "ThumbnailCache.h"

#include <algorithm>

ThumbnailCache::ThumbnailCache(int capacity)
    : m_capacity(std::max(1, capacity))
{}

QImage ThumbnailCache::take(const QString &key)
{
    auto it = m_images.find(key);
    if (it == m_images.end())
        return {};
    m_uses.splice(m_uses.begin(), m_uses, it->use);
    return it->image;
}

void ThumbnailCache::put(const QString &key, const QImage &image)
{
    auto it = m_images.find(key);
    if (it != m_images.end()) {
        it->image = image;
        m_uses.splice(m_uses.begin(), m_uses, it->use);
        return;
    }
    m_uses.push_front(key);
    m_images.insert(key, Entry{image, m_uses.begin()});
    while (m_images.size() > m_capacity) {
        m_images.remove(m_uses.back());
        m_uses.pop_back();
    }
}
