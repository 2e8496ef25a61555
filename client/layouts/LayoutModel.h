#pragma once

#include "LayoutCell.h"
#include "LayoutGrid.h"

#include <QAbstractListModel>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

// The grid of the layout loaded last: one row per cell, plus the grid size. It also answers,
// per cell, the address of the video to play, expanded from the cell's object's "url" setting
// on every read (the object tree may have been reloaded since the layout was).
class LayoutModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int numCols READ numCols WRITE setNumCols NOTIFY numColsChanged)
    Q_PROPERTY(int numRows READ numRows WRITE setNumRows NOTIFY numRowsChanged)

public:
    enum CellType { InvalidType = 0, Video = 1, Door = 2, Alarm = 3 };
    Q_ENUM(CellType)

    enum Role {
        RowRole = Qt::UserRole + 1,
        ColRole,
        RowSpanRole,
        ColSpanRole,
        LabelRole,
        TypeRole,
        DeviceIdRole,
        ObjectIdRole,
        UrlRole,
        ActuatorIdRole
    };

    explicit LayoutModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    int numCols() const { return m_numCols; }
    void setNumCols(int numCols);
    int numRows() const { return m_numRows; }
    void setNumRows(int numRows);

    const QVector<LayoutCell> &cells() const { return m_cells; }

    // Replaces the grid by the layout document json. A document that fails a top-level check
    // leaves the model as it was; elements that lack a placement value are skipped.
    Q_INVOKABLE void fromJson(QString json);

    // Reads a layout document without showing it: false (with a warning) when it fails a
    // top-level check. At most maxCells cells are read, each label at most maxLabelLength
    // characters long (a longer one ends in an ellipsis): every cell costs a player, and a
    // text is laid out whole however little of it a cell shows.
    static bool read(const QString &json, LayoutGrid *grid);
    // Shows a grid that read() made, pairing its doors with their actuators.
    void setGrid(const LayoutGrid &grid);

    static constexpr int maxCells = 100;
    static constexpr int maxLabelLength = 256;

signals:
    void numColsChanged();
    void numRowsChanged();

private:
    // False (with the warning, if any) when the document must not replace the grid.
    static bool readDocument(const QString &json, int *numRows, int *numCols, QJsonArray *elements);
    // False when the element is skipped.
    static bool readCell(const QJsonObject &element, LayoutCell *cell);
    static void pairDoor(LayoutCell *cell);
    QString url(const LayoutCell &cell) const;

    QVector<LayoutCell> m_cells;
    int m_numCols = 1;
    int m_numRows = 1;
};
