#include "ZarnSetting.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerZarnSetting()
{
    qmlRegisterType<ZarnSetting>("Native", 1, 0, "ZarnSetting");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZarnSetting)

ZarnSetting::ZarnSetting(QObject *parent)
    : QAbstractListModel(parent)
{}

bool ZarnSetting::contains(const QString &key) const
{
    return m_texts.contains(key);
}

QString ZarnSetting::prop(const QString &key) const
{
    return m_texts.value(key);
}

void ZarnSetting::insert(const QString &key, const QString &text)
{
    if (m_texts.contains(key))
        return;
    const int row = m_keys.size();
    beginInsertRows(QModelIndex(), row, row);
    m_keys.append(key);
    m_texts.insert(key, text);
    endInsertRows();
}

int ZarnSetting::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_keys.size();
}

QVariant ZarnSetting::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_keys.size())
        return QVariant();
    const QString &key = m_keys.at(index.row());
    switch (role) {
    case KeyRole:
        return key;
    case ValueRole:
        return m_texts.value(key);
    default:
        return QVariant();
    }
}

// Neither edit emits dataChanged: the settings are a read-mostly copy of the server's and no
// view edits them while showing them.
bool ZarnSetting::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_keys.size())
        return false;
    const QString &key = m_keys.at(index.row());
    if (!m_texts.contains(key))
        return false;
    switch (role) {
    case KeyRole:
        return renameKey(index.row(), value.toString());
    case ValueRole:
        m_texts[key] = value.toString();
        return true;
    default:
        return false;
    }
}

// Renaming onto another row's key would leave two rows sharing one text and lose the other
// row's text, so that rename is refused.
bool ZarnSetting::renameKey(int row, const QString &newKey)
{
    const QString oldKey = m_keys.at(row);
    if (newKey == oldKey)
        return true;
    if (m_texts.contains(newKey))
        return false;
    m_texts.insert(newKey, m_texts.take(oldKey));
    m_keys[row] = newKey;
    return true;
}

QHash<int, QByteArray> ZarnSetting::roleNames() const
{
    return {{KeyRole, "key"}, {ValueRole, "value"}};
}
