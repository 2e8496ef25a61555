#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

// The (name, layout document) pairs that a layout picker shows, in insertion order.
class LayoutList : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Layout
    {
        QString name;
        QString json;
    };

    enum Role { NameRole = Qt::UserRole + 1, JsonRole };

    explicit LayoutList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    void clear();
    void append(const QString &name, const QString &json);

private:
    QVector<Layout> m_layouts;
};
