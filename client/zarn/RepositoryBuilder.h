#pragma once

#include "ZarnObject.h"

#include <zarn/Object.h>

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class ZarnObjectsRepository;

// Turns the server's object list into the console's objects and links them into a repository.
// The objects are made part by part while the list arrives (addPart); linking walks the tree
// from its root and can stop after a time budget and go on later (link), so that a site of
// 100 000 objects loads without freezing the screen. Owned and driven by one thread.
class RepositoryBuilder
{
public:
    using Objects = std::vector<ardix::zarn::Object>;

    // Names are cut to this length; a longer one only slows every view that shows it.
    static constexpr int kMaxNameLength = 1000;

    void addPart(const Objects &objects);
    // Fixes the root; link() starts from it.
    void setRoot(qint64 rootId);
    // Links objects into `into` for about `budget`; true once the whole tree is in.
    bool link(ZarnObjectsRepository &into, std::chrono::nanoseconds budget);
    // What the load refused or changed, for the operator; empty when nothing.
    QString notice() const;

private:
    struct Entry
    {
        ardix::zarn::Object object;
        ZarnObjectPtr made; // null for an object the console cannot show
    };
    // One object on the way down from the root, with the next of its children to visit.
    struct Frame
    {
        const Entry *entry;
        std::size_t nextChild;
        bool named; // whether the object's name is on the path
    };

    void enter(ZarnObjectsRepository &into, std::int64_t id);

    std::unordered_map<std::int64_t, Entry> m_entries;
    qint64 m_rootId = 0;
    bool m_started = false;
    std::vector<Frame> m_stack;
    QStringList m_path;
    std::unordered_set<std::int64_t> m_visited;
    int m_duplicateIds = 0;
    int m_reachedTwice = 0;
    int m_cutNames = 0;
    std::size_t m_linked = 0;
};
