#include "LayoutModel.h"

#include "App.h"
#include "LayoutDocumentParser.h"
#include "StreamAddress.h"
#include "UrlTemplate.h"
#include "ZarnClient.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonValue>
#include <QQmlEngine>

#include <climits>
#include <cmath>

namespace {

void registerLayoutModel()
{
    qmlRegisterType<LayoutModel>("Native", 1, 0, "LayoutModel");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerLayoutModel)

namespace {

// Only a number with an exact integer value that an int holds is read; anything else present
// under the key (a string "2", a fraction, a boolean, null, 1e12) reads as 0.
int intValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < INT_MIN || d > INT_MAX)
        return 0;
    return static_cast<int>(d);
}

QString stringValue(const QJsonValue &value)
{
    return value.isString() ? value.toString() : QString();
}

LayoutModel::CellType cellType(const QString &text)
{
    if (text == QLatin1String("video"))
        return LayoutModel::Video;
    if (text == QLatin1String("door"))
        return LayoutModel::Door;
    if (text == QLatin1String("alarm"))
        return LayoutModel::Alarm;
    return LayoutModel::InvalidType;
}

// Null when no App exists (a test or tool that uses the model alone) or before it made one.
ZarnObjectsRepository *repository()
{
    App *app = App::instance();
    return app ? app->zarnRepository() : nullptr;
}

ZarnClient *client()
{
    App *app = App::instance();
    return app ? app->zarnClient() : nullptr;
}

} // namespace

LayoutModel::LayoutModel(QObject *parent)
    : QAbstractListModel(parent)
{}

int LayoutModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cells.size();
}

QVariant LayoutModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_cells.size())
        return {};
    const LayoutCell &cell = m_cells.at(index.row());
    switch (role) {
    case RowRole:
        return cell.row;
    case ColRole:
        return cell.col;
    case RowSpanRole:
        return cell.rowSpan;
    case ColSpanRole:
        return cell.colSpan;
    case LabelRole:
        return cell.label;
    case TypeRole:
        return cell.type;
    case DeviceIdRole:
        return cell.deviceId;
    case ObjectIdRole:
        return cell.objectId;
    case UrlRole:
        return url(cell);
    case ActuatorIdRole:
        return cell.actuatorId;
    default:
        return {};
    }
}

bool LayoutModel::setData(const QModelIndex &, const QVariant &, int)
{
    return false;
}

QHash<int, QByteArray> LayoutModel::roleNames() const
{
    static const QHash<int, QByteArray> names{
        {RowRole, "row"},           {ColRole, "col"},
        {RowSpanRole, "rowSpan"},   {ColSpanRole, "colSpan"},
        {LabelRole, "label"},       {TypeRole, "type"},
        {DeviceIdRole, "deviceId"}, {ObjectIdRole, "objectId"},
        {UrlRole, "url"},           {ActuatorIdRole, "actuatorId"}};
    return names;
}

void LayoutModel::setNumCols(int numCols)
{
    if (numCols == m_numCols)
        return;
    m_numCols = numCols;
    emit numColsChanged();
}

void LayoutModel::setNumRows(int numRows)
{
    if (numRows == m_numRows)
        return;
    m_numRows = numRows;
    emit numRowsChanged();
}

void LayoutModel::fromJson(QString json)
{
    LayoutGrid grid;
    if (read(json, &grid))
        setGrid(grid);
}

bool LayoutModel::read(const QString &json, LayoutGrid *grid)
{
    QJsonArray elements;
    if (!readDocument(json, &grid->numRows, &grid->numCols, &elements))
        return false;
    grid->cells.clear();
    int index = 0;
    for (; index < elements.size() && grid->cells.size() < maxCells; ++index) {
        LayoutCell cell;
        if (readCell(elements.at(index).toObject(), &cell))
            grid->cells.append(cell);
    }
    if (index < elements.size()) {
        qWarning().noquote() << QStringLiteral("Only the first %1 cells of a layout are shown; "
                                               "%2 more element(s) left out")
                                    .arg(maxCells)
                                    .arg(elements.size() - index);
    }
    return true;
}

void LayoutModel::setGrid(const LayoutGrid &grid)
{
    // Both always go out, before the reset, so that a view resizes its grid even when the
    // same layout is applied again.
    m_numRows = grid.numRows;
    emit numRowsChanged();
    m_numCols = grid.numCols;
    emit numColsChanged();

    beginResetModel();
    m_cells = grid.cells;
    for (LayoutCell &cell : m_cells) {
        if (cell.type == Door)
            pairDoor(&cell);
    }
    endResetModel();
}

bool LayoutModel::readDocument(const QString &json, int *numRows, int *numCols,
                               QJsonArray *elements)
{
    const QJsonDocument document = LayoutDocumentParser::parse(json.toUtf8());
    if (document.isNull() || document.isEmpty())
        return false;
    const QJsonObject top = document.object();
    if (top.isEmpty())
        return false;

    const auto rows = top.constFind(QLatin1String("numRows"));
    if (rows == top.constEnd()) {
        qWarning() << "field numRows not found";
        return false;
    }
    const auto cols = top.constFind(QLatin1String("numCols"));
    if (cols == top.constEnd()) {
        qWarning() << "field numCols not found";
        return false;
    }
    const auto items = top.constFind(QLatin1String("elements"));
    if (items == top.constEnd()) {
        qWarning() << "field elements not found";
        return false;
    }
    *elements = items.value().toArray();
    if (elements->isEmpty()) {
        qWarning() << "field elements is empty";
        return false;
    }
    *numRows = intValue(rows.value());
    *numCols = intValue(cols.value());
    return true;
}

bool LayoutModel::readCell(const QJsonObject &element, LayoutCell *cell)
{
    static const char *const placement[] = {"row", "col", "rowSpan", "colSpan"};
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        const auto it = element.constFind(QLatin1String(placement[i]));
        if (it == element.constEnd()) {
            qWarning().noquote() << QStringLiteral("field %1 not found").arg(placement[i]);
            return false;
        }
        values[i] = intValue(it.value());
    }
    cell->row = values[0];
    cell->col = values[1];
    cell->rowSpan = values[2];
    cell->colSpan = values[3];
    cell->deviceId = stringValue(element.value(QLatin1String("deviceId")));
    cell->objectId = stringValue(element.value(QLatin1String("objectId")));
    cell->label = stringValue(element.value(QLatin1String("label")));
    if (cell->label.size() > maxLabelLength)
        cell->label = cell->label.left(maxLabelLength - 1) + QChar(0x2026);

    const auto type = element.constFind(QLatin1String("type"));
    if (type == element.constEnd())
        return false;
    cell->type = cellType(stringValue(type.value()));
    return true;
}

void LayoutModel::pairDoor(LayoutCell *cell)
{
    ZarnObjectsRepository *objects = repository();
    if (!objects)
        return;
    const auto sensor = objects->find(cell->objectId);
    if (!sensor)
        return;
    const QString layout = sensor->settings()->prop(QStringLiteral("layout"));
    if (layout.isEmpty())
        return;

    const auto all = objects->objects();
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const auto &actuator = it.value();
        if (!actuator || actuator->type() != ZarnObject::Actuator ||
            actuator->cls() != QLatin1String("actuator.DOOR"))
            continue;
        const QString actrLayout = actuator->settings()->prop(QStringLiteral("layout"));
        if (actrLayout != layout)
            continue;
        qDebug() << "layout:" << layout << ", actrLayout:" << actrLayout;
        cell->actuatorId = actuator->id();
        if (ZarnClient *zarn = client())
            zarn->getActrValue(cell->actuatorId);
        return;
    }
}

QString LayoutModel::url(const LayoutCell &cell) const
{
    ZarnObjectsRepository *objects = repository();
    const auto object = objects ? objects->find(cell.objectId) : nullptr;
    if (!object) {
        qDebug() << "object not found, id:" << cell.objectId;
        return QString(QLatin1String(""));
    }
    const ZarnSetting *settings = object->settings();
    if (!settings) {
        qDebug() << "settings is null, id:" << cell.objectId;
        return QString(QLatin1String(""));
    }
    if (!settings->contains(QStringLiteral("url"))) {
        qDebug() << "settings don't have url, id:" << cell.objectId;
        return QString(QLatin1String(""));
    }
    const QString address = UrlTemplate::expand(settings->prop(QStringLiteral("url")));
    qDebug() << "URL:" << StreamAddress::redacted(address);
    return address;
}
