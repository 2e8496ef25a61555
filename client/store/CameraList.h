#pragma once

#include "Camera.h"

#include <QAbstractListModel>
#include <QHash>
#include <QSet>
#include <QVector>

#include <memory>

// The stored cameras as a list model with one role, "camera" (the row's Camera object).
// Rows keep their place: cameras are appended, updated in place and removed, never moved.
class CameraList : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles { CameraRole = Qt::UserRole + 1 };

    explicit CameraList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    bool contains(int id) const { return m_ids.contains(id); }
    QSet<int> ids() const { return m_ids; }
    void appendCamera(const std::shared_ptr<Camera> &camera);
    // Copies name and url of `camera` into the stored camera of that id.
    void updateCamera(int id, const Camera &camera);
    void removeCameraRow(int id);

private:
    QVector<int> m_order;
    QSet<int> m_ids;
    QHash<int, std::shared_ptr<Camera>> m_camerasById;
};
