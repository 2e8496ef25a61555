#include "ObjectIndex.h"

#include "ObjectTree.h"
#include "ReceiptQuery.h"
#include "ZarnObjectsRepository.h"

#include <QSet>

namespace {

// As deep as the camera tree goes; stops a malformed tree whose ids loop.
constexpr int maxLevel = 32;

const QString streamIcon = QStringLiteral("stream");

} // namespace

ObjectIndex::ObjectIndex(const ZarnObjectsRepository *repository)
{
    const ZarnObject *root = repository ? repository->root() : nullptr;
    if (!root)
        return;
    m_entries.reserve(static_cast<std::size_t>(repository->objects().size()));
    QSet<QString> indexed;
    indexed.reserve(repository->objects().size());
    add(*repository, root->id(), -1, 0, indexed);
}

void ObjectIndex::add(const ZarnObjectsRepository &repository, const QString &id, int parent,
                      int level, QSet<QString> &indexed)
{
    const ZarnObject *object = repository.objectById(id);
    if (!object || level > maxLevel)
        return;
    const QString icon = ObjectTree::iconFor(*object);
    if (icon.isEmpty())
        return;
    // Each object is indexed once, under the first parent that reaches it: a tree whose objects
    // are listed under two parents has paths in numbers that double with each level, and
    // following each of them would take exponential time and memory. This also ends a loop.
    if (indexed.contains(id))
        return;
    indexed.insert(id);
    const int self = size();
    m_entries.push_back({object->id(), object->name(), icon, ReceiptQuery::fold(object->name()),
                         ReceiptQuery::fold(object->serial()), parent, level, 0});
    for (const QString &child : object->childIds())
        add(repository, child, self, level + 1, indexed);
    m_entries[std::size_t(self)].end = size();
}

ObjectIndex::Result ObjectIndex::find(const QString &folded) const
{
    Result result;
    if (folded.isEmpty() || m_entries.empty())
        return result;
    std::vector<char> seen(m_entries.size());
    std::vector<int> matched;
    for (int i = 0; i < size(); ++i) {
        const Entry &e = m_entries[std::size_t(i)];
        if (!e.foldedName.contains(folded) && !e.foldedSerial.contains(folded))
            continue;
        matched.push_back(i);
        // Entries come before their children: an ancestor already marked has its own marked.
        for (int p = i; p >= 0 && !seen[std::size_t(p)]; p = m_entries[std::size_t(p)].parent)
            seen[std::size_t(p)] = 1;
    }
    std::size_t next = 0;
    for (int i = 0; i < size(); ++i) {
        if (!seen[std::size_t(i)])
            continue;
        if (next < matched.size() && matched[next] == i) {
            result.matches.push_back(static_cast<int>(result.rows.size()));
            ++next;
        }
        result.rows.push_back(i);
    }
    return result;
}

int ObjectIndex::firstStream(int entry) const
{
    if (entry < 0 || entry >= size())
        return -1;
    for (int i = entry; i < m_entries[std::size_t(entry)].end; ++i) {
        if (m_entries[std::size_t(i)].icon == streamIcon)
            return i;
    }
    return -1;
}
