#pragma once

#include <QSet>
#include <QString>

#include <vector>

class ZarnObjectsRepository;

// The camera tree's objects in the tree's own order (each before its children), with their
// names and serials folded once so that a search only compares. Built from a repository at the
// first search after each rebuild of the server's tree; a plain value, read-only once built.
class ObjectIndex
{
public:
    struct Entry
    {
        QString id;
        QString label;
        QString icon;
        QString foldedName;
        QString foldedSerial;
        int parent = -1; // index of the parent entry, -1 for the root
        int level = 0;
        int end = 0; // one past the entry's last descendant
    };

    // The objects of what a search found, in tree order: each match with its ancestors.
    struct Result
    {
        std::vector<int> rows;    // entry indexes shown
        std::vector<int> matches; // positions in rows of the matches, in order
    };

    ObjectIndex() = default;
    explicit ObjectIndex(const ZarnObjectsRepository *repository);

    int size() const { return static_cast<int>(m_entries.size()); }
    const Entry &at(int i) const { return m_entries[static_cast<std::size_t>(i)]; }

    // `folded` as ReceiptQuery::fold gives it; empty finds nothing.
    Result find(const QString &folded) const;
    // The entry itself when it is a stream, else its first stream in tree order; -1 if none.
    int firstStream(int entry) const;

private:
    void add(const ZarnObjectsRepository &repository, const QString &id, int parent, int level,
             QSet<QString> &indexed);

    std::vector<Entry> m_entries;
};
