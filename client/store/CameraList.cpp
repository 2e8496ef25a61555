#include "CameraList.h"

#include <QQmlEngine>

CameraList::CameraList(QObject *parent)
    : QAbstractListModel(parent)
{
    qRegisterMetaType<Camera *>();
}

int CameraList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_order.size();
}

QVariant CameraList::data(const QModelIndex &index, int role) const
{
    if (role != CameraRole || !index.isValid() || index.row() < 0 || index.column() != 0 ||
        index.row() >= m_order.size())
        return QVariant();
    const auto camera = m_camerasById.value(m_order.at(index.row()));
    // A row without its camera cannot arise through the operations below; it reads empty.
    if (!camera)
        return QVariant();
    return QVariant::fromValue(camera.get());
}

QHash<int, QByteArray> CameraList::roleNames() const
{
    return {{CameraRole, QByteArrayLiteral("camera")}};
}

void CameraList::appendCamera(const std::shared_ptr<Camera> &camera)
{
    // Shared with QML by pointer; the model keeps it, the engine must never delete it.
    QQmlEngine::setObjectOwnership(camera.get(), QQmlEngine::CppOwnership);
    const int row = m_order.size();
    beginInsertRows(QModelIndex(), row, row);
    m_order.append(camera->id());
    m_ids.insert(camera->id());
    m_camerasById.insert(camera->id(), camera);
    endInsertRows();
}

void CameraList::updateCamera(int id, const Camera &camera)
{
    if (!m_ids.contains(id))
        return;
    const auto stored = m_camerasById.value(id);
    if (!stored)
        return;
    stored->setName(camera.name());
    stored->setUrl(camera.url());
}

void CameraList::removeCameraRow(int id)
{
    if (!m_ids.contains(id))
        return;
    const int row = m_order.indexOf(id);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_ids.remove(id);
    m_order.remove(row);
    m_camerasById.remove(id);
    endRemoveRows();
}
