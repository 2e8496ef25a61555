#pragma once

#include "ObjectIndex.h"

#include <QAbstractListModel>

#include <memory>

// What a search of the camera tree found, as a flat list for QML: each match with its
// ancestors, in tree order, indented by level, the ancestors shown open. One row per shown
// object and no object of its own: rows read the index.
class FoundObjects : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { LabelRole = Qt::UserRole + 1, IdRole, IconRole, LevelRole, MatchRole, OpenRole };

    explicit FoundObjects(QObject *parent = nullptr);
    ~FoundObjects() override;

    // Shows `result`, rows of `index`, in place of what was shown.
    void show(std::shared_ptr<const ObjectIndex> index, ObjectIndex::Result result);
    const ObjectIndex::Result &result() const { return m_result; }
    // The index entry of a row; -1 outside the rows.
    int entryAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    bool isMatch(int row) const;

    std::shared_ptr<const ObjectIndex> m_index;
    ObjectIndex::Result m_result;
};
