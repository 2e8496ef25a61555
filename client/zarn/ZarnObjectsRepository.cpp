#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerZarnObjectsRepository()
{
    qmlRegisterType<ZarnObjectsRepository>("Native", 1, 0, "ZarnObjectsRepository");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZarnObjectsRepository)

ZarnObjectsRepository::ZarnObjectsRepository(QObject *parent)
    : QObject(parent)
{}

ZarnObjectsRepository::~ZarnObjectsRepository() = default;

void ZarnObjectsRepository::clear()
{
    m_byId.clear();
    m_byPath.clear();
    m_root.reset();
    // Released in the order they were added: freeing 100 000 objects in the hashes' order
    // scatters the frees over the heap and takes about twice as long.
    m_added.clear();
    m_released = 0;
}

void ZarnObjectsRepository::swapContents(ZarnObjectsRepository &other)
{
    m_byId.swap(other.m_byId);
    m_byPath.swap(other.m_byPath);
    m_root.swap(other.m_root);
    m_added.swap(other.m_added);
    std::swap(m_released, other.m_released);
}

bool ZarnObjectsRepository::releaseSome(int count)
{
    if (!m_byId.isEmpty() || !m_byPath.isEmpty() || m_root) {
        m_byId.clear();
        m_byPath.clear();
        m_root.reset();
        return m_added.empty();
    }
    const std::size_t end = std::min(m_added.size(), m_released + std::size_t(count));
    for (; m_released < end; ++m_released)
        m_added[m_released].reset();
    if (m_released < m_added.size())
        return false;
    m_added.clear();
    m_released = 0;
    return true;
}

void ZarnObjectsRepository::setNotice(const QString &notice)
{
    if (notice == m_notice)
        return;
    m_notice = notice;
    emit noticeChanged();
}

bool ZarnObjectsRepository::add(const ZarnObjectPtr &obj, const QString &sep)
{
    if (!obj)
        return false;
    // One hash lookup for both the test and the insertion: operator[] adds an empty entry.
    const int known = m_byId.size();
    ZarnObjectPtr &byId = m_byId[obj->id()];
    if (m_byId.size() == known)
        return false;
    byId = obj;
    // Objects reach QML through objectById; the engine must never adopt and delete them.
    QQmlEngine::setObjectOwnership(obj.get(), QQmlEngine::CppOwnership);
    m_added.push_back(obj);
    const QString path = obj->path();
    m_byPath.insert(path, obj);

    // The parent's path is everything before the last separator. An empty separator cannot
    // split anything, so every object is then top-level.
    const int cut = sep.isEmpty() ? -1 : path.lastIndexOf(sep);
    if (cut < 0) {
        makeRoot(obj, 97, ": root != nullptr?");
        return true;
    }
    const ZarnObjectPtr parent = m_byPath.value(path.left(cut));
    if (!parent) {
        makeRoot(obj, 107, " root != nullptr?");
        return true;
    }
    obj->setParentId(parent->id());
    parent->appendChildId(obj->id());
    return true;
}

void ZarnObjectsRepository::makeRoot(const ZarnObjectPtr &obj, int line, const char *text)
{
    if (m_root)
        qWarning() << "ZarnObjectsRepository" << line << text;
    m_root = obj;
}

ZarnObjectPtr ZarnObjectsRepository::find(const QString &id) const
{
    return m_byId.value(id);
}

ZarnObject *ZarnObjectsRepository::objectById(const QString &id) const
{
    return m_byId.value(id).get();
}
