#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <QStringList>

// The settings of one server object: keys in the order the server gave them, each with its
// text. QML reads single keys through contains()/prop() or lists them as a model.
class ZarnSetting : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole + 1, ValueRole };

    explicit ZarnSetting(QObject *parent = nullptr);

    Q_INVOKABLE bool contains(const QString &key) const;
    Q_INVOKABLE QString prop(const QString &key) const;

    // Adds key at the end; a key already present keeps its first text.
    void insert(const QString &key, const QString &text);

    const QStringList &keys() const { return m_keys; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

private:
    bool renameKey(int row, const QString &newKey);

    QStringList m_keys;
    QHash<QString, QString> m_texts;
};
