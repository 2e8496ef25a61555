#include "RepositoryBuilder.h"

#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>

namespace {

// Warnings about single objects stop here; the notice gives the totals.
constexpr int kWarningsPerKind = 10;

} // namespace

void RepositoryBuilder::addPart(const Objects &objects)
{
    m_entries.reserve(m_entries.size() + objects.size());
    for (const ardix::zarn::Object &o : objects) {
        const auto [it, added] = m_entries.emplace(o.id(), Entry{o, nullptr});
        if (!added) {
            // The first occurrence of an id wins, as the server listed it first.
            ++m_duplicateIds;
            continue;
        }
        it->second.made = ZarnObject::fromObject(o);
        ZarnObject *made = it->second.made.get();
        if (made && made->name().size() > kMaxNameLength) {
            made->setName(made->name().left(kMaxNameLength) + QChar(0x2026));
            ++m_cutNames;
        }
    }
}

void RepositoryBuilder::setRoot(qint64 rootId)
{
    m_rootId = rootId;
}

void RepositoryBuilder::enter(ZarnObjectsRepository &into, std::int64_t id)
{
    // Visited first: a visited object's entry is gone once its children are done.
    if (m_visited.count(id)) {
        if (++m_reachedTwice <= kWarningsPerKind)
            qWarning() << "Object reached twice in the tree, not visited again:" << id;
        return;
    }
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) {
        qWarning() << "current == nullptr, something wrong in data";
        return;
    }
    m_visited.insert(id);
    const Entry &entry = it->second;
    const bool named = static_cast<bool>(entry.made);
    if (named) {
        m_path.append(entry.made->name());
        entry.made->setPath(m_path.join(QLatin1Char(',')));
        into.add(entry.made, QStringLiteral(","));
        ++m_linked;
    } else {
        // Its children still load; without its name on their path they hang under the
        // nearest loaded ancestor rather than each claiming to be the root.
        qWarning() << "Object not loaded, id:" << id;
    }
    m_stack.push_back(Frame{&entry, 0, named});
}

bool RepositoryBuilder::link(ZarnObjectsRepository &into, std::chrono::nanoseconds budget)
{
    QElapsedTimer clock;
    clock.start();
    if (!m_started) {
        m_started = true;
        m_visited.reserve(m_entries.size());
        enter(into, m_rootId);
    }
    // Depth-first with an explicit stack, so that a deep tree cannot exhaust the call stack
    // and the walk can stop anywhere; each id at most once, so that a child list leading back
    // to an ancestor (or one object listed under several parents) ends there.
    int sinceCheck = 0;
    while (!m_stack.empty()) {
        Frame &top = m_stack.back();
        const auto &children = top.entry->object.children();
        if (top.nextChild < children.size()) {
            enter(into, children[top.nextChild++]);
            if (++sinceCheck == 256) {
                sinceCheck = 0;
                if (clock.nsecsElapsed() > budget.count())
                    return false;
            }
            continue;
        }
        if (top.named)
            m_path.removeLast();
        // Done with it: releasing the server's copy here spreads that cost over the slices.
        const std::int64_t done = top.entry->object.id();
        m_stack.pop_back();
        m_entries.erase(done);
    }
    return true;
}

QString RepositoryBuilder::notice() const
{
    QStringList parts;
    if (m_reachedTwice > 0)
        parts << QCoreApplication::translate("RepositoryBuilder",
                                             "Objects listed more than once in the tree (a loop "
                                             "or a shared child), shown once: %1")
                     .arg(m_reachedTwice);
    if (m_duplicateIds > 0)
        parts << QCoreApplication::translate("RepositoryBuilder",
                                             "Repeated object ids, ignored: %1")
                     .arg(m_duplicateIds);
    if (m_cutNames > 0)
        parts << QCoreApplication::translate("RepositoryBuilder",
                                             "Names longer than %1 characters, cut: %2")
                     .arg(kMaxNameLength)
                     .arg(m_cutNames);
    return parts.join(QStringLiteral("; "));
}
