#include "TransactionModel.h"

#include "ReceiptQuery.h"
#include "ReceiptSummary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// A field a spreadsheet would read as a formula starts with an apostrophe: a till's text is
// data, never something to run. A leading tab or carriage return counts too: some spreadsheets
// drop it and read what follows.
QString csvField(const QString &value)
{
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    QString quoted = !value.isEmpty() && kFormulaStarts.contains(value.at(0))
                         ? QLatin1Char('\'') + value
                         : value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString localPath(const QString &path)
{
    const QUrl url(path);
    return url.isLocalFile() ? url.toLocalFile() : path;
}

} // namespace

TransactionModel::TransactionModel(QObject *parent, int limit)
    : QAbstractTableModel(parent)
    , m_limit(qMax(1, limit))
{}

int TransactionModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int TransactionModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TransactionModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case TimeColumn:
            return role == Qt::EditRole ? QVariant(row.time) : QVariant(timeText(row.time));
        case TillColumn:
            return row.till;
        case StreamIdColumn:
            return row.streamId;
        case FirstLineColumn:
            return row.firstLine;
        case AmountColumn:
            if (std::isnan(row.amount))
                return QString();
            return role == Qt::EditRole ? QVariant(row.amount)
                                        : QVariant(QString::number(row.amount, 'f', 2));
        case LinesColumn:
            return row.lines;
        case TextColumn:
            return row.text;
        case KindColumn:
            return row.kind;
        default:
            return QVariant();
        }
    }
    switch (role) {
    case TimeRole:
        return row.time;
    case TimeTextRole:
        return timeText(row.time);
    case TillRole:
        return row.till;
    case StreamIdRole:
        return row.streamId;
    case FirstLineRole:
        return row.firstLine;
    case AmountRole:
        return std::isnan(row.amount) ? QVariant() : QVariant(row.amount);
    case LinesRole:
        return row.lines;
    case TextRole:
        return row.text;
    case KindRole:
        return row.kind;
    case NoVideoRole:
        return row.noVideo;
    default:
        return QVariant();
    }
}

QVariant TransactionModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const names[ColumnCount] = {"Time",   "Till",  "Stream", "First line",
                                                   "Amount", "Lines", "Text",   "Kind"};
    return tr(names[section]);
}

QHash<int, QByteArray> TransactionModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractTableModel::roleNames();
    names.insert(TimeRole, "time");
    names.insert(TimeTextRole, "timeText");
    names.insert(TillRole, "till");
    names.insert(StreamIdRole, "streamId");
    names.insert(FirstLineRole, "firstLine");
    names.insert(AmountRole, "amount");
    names.insert(LinesRole, "lines");
    names.insert(TextRole, "text");
    names.insert(KindRole, "kind");
    names.insert(NoVideoRole, "noVideo");
    return names;
}

std::function<bool(const TransactionModel::Row &, const TransactionModel::Row &)>
TransactionModel::lessThan() const
{
    return lessThan(m_sortColumn, m_sortOrder);
}

std::function<bool(const TransactionModel::Row &, const TransactionModel::Row &)>
TransactionModel::lessThan(int column, Qt::SortOrder order)
{
    const bool descending = order == Qt::DescendingOrder;
    auto by = [descending](auto key) {
        return [key, descending](const Row &a, const Row &b) {
            return descending ? key(b) < key(a) : key(a) < key(b);
        };
    };
    switch (column) {
    case TillColumn:
        return by([](const Row &r) { return r.till; });
    case StreamIdColumn:
        return by([](const Row &r) { return r.streamId; });
    case FirstLineColumn:
        return by([](const Row &r) { return r.firstLine; });
    case AmountColumn:
        // by size, whatever the sign: a refund of -31.96 is more than a sale of 5.00; no amount
        // sorts below every amount
        return by([](const Row &r) { return std::isnan(r.amount) ? -1.0 : std::fabs(r.amount); });
    case LinesColumn:
        return by([](const Row &r) { return r.lines; });
    case TextColumn:
        return by([](const Row &r) { return r.text; });
    case KindColumn:
        return by([](const Row &r) { return r.kind; });
    default:
        return by([](const Row &r) { return r.time; });
    }
}

void TransactionModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    if (column == m_sortColumn && order == m_sortOrder)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QVector<int> places(m_rows.size());
    std::iota(places.begin(), places.end(), 0);
    const auto less = lessThan();
    std::stable_sort(places.begin(), places.end(),
                     [this, &less](int a, int b) { return less(m_rows.at(a), m_rows.at(b)); });
    QVector<Row> sorted;
    sorted.reserve(m_rows.size());
    QVector<int> newPlace(m_rows.size());
    for (int i = 0; i < places.size(); ++i) {
        sorted.append(m_rows.at(places.at(i)));
        newPlace[places.at(i)] = i;
    }
    m_rows = sorted;
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(this->index(newPlace.at(index.row()), index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit sortChanged();
}

QVariantMap TransactionModel::get(int row) const
{
    QVariantMap map;
    if (row < 0 || row >= m_rows.size())
        return map;
    const QHash<int, QByteArray> names = roleNames();
    const QModelIndex at = index(row, 0);
    for (int role = TimeRole; role <= NoVideoRole; ++role)
        map.insert(QString::fromLatin1(names.value(role)), data(at, role));
    return map;
}

bool TransactionModel::exportCsv(const QString &path)
{
    const QString file = localPath(path);
    if (file.isEmpty()) {
        setExportError(tr("No file name given"));
        return false;
    }
    // QSaveFile writes beside the target and renames over it only once all is written.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        setExportError(tr("%1 could not be written: %2").arg(file, out.errorString()));
        return false;
    }
    QByteArray chunk = csvHeader();
    for (const Row &row : qAsConst(m_rows)) {
        chunk += csvLine(row);
        if (chunk.size() > 1 << 20) {
            out.write(chunk);
            chunk.clear();
        }
    }
    out.write(chunk);
    if (!out.commit()) {
        setExportError(tr("%1 could not be written: %2").arg(file, out.errorString()));
        return false;
    }
    setExportError(QString());
    return true;
}

QByteArray TransactionModel::csvHeader()
{
    return QByteArrayLiteral("time,till,stream,text\r\n");
}

QByteArray TransactionModel::csvLine(const Row &row)
{
    return (isoTime(row.time) + QLatin1Char(',') + csvField(row.till) + QLatin1Char(',') +
            csvField(row.streamId) + QLatin1Char(',') + csvField(row.text) + QStringLiteral("\r\n"))
        .toUtf8();
}

TransactionModel::Row TransactionModel::rowOf(qint64 time, const QString &till,
                                              const QString &streamId, const QString &text)
{
    const ReceiptSummary summary = ReceiptSummary::read(text);
    // A text without a TOTAL line (not a till's receipt as printed) shows its largest amount.
    const double amount =
        std::isnan(summary.total()) ? ReceiptQuery::largestAmount(text) : summary.total();
    return {time,     till,
            streamId, ReceiptQuery::firstLine(text),
            amount,   ReceiptQuery::lineCount(text),
            text,     summary.kind()};
}

void TransactionModel::markRecorded(const QString &streamId, qint64 from, qint64 to,
                                    const QVector<QPair<qint64, qint64>> &chunks)
{
    for (int i = 0; i < m_rows.size(); ++i) {
        Row &row = m_rows[i];
        if (row.streamId != streamId || row.time < from || row.time >= to)
            continue;
        const bool recorded =
            std::any_of(chunks.begin(), chunks.end(), [&row](const QPair<qint64, qint64> &chunk) {
                return chunk.first <= row.time && row.time < chunk.second;
            });
        if (row.noVideo == !recorded)
            continue;
        row.noVideo = !recorded;
        emit dataChanged(index(i, 0), index(i, ColumnCount - 1), {NoVideoRole});
    }
}

QHash<QString, QPair<qint64, qint64>> TransactionModel::spans() const
{
    QHash<QString, QPair<qint64, qint64>> spans;
    for (const Row &row : m_rows) {
        auto at = spans.find(row.streamId);
        if (at == spans.end())
            spans.insert(row.streamId, {row.time, row.time});
        else
            *at = {qMin(at->first, row.time), qMax(at->second, row.time)};
    }
    return spans;
}

void TransactionModel::clear()
{
    const bool dropped = m_dropped > 0;
    m_dropped = 0;
    if (m_rows.isEmpty()) {
        if (dropped)
            emit countChanged();
        return;
    }
    beginResetModel();
    m_rows.clear();
    endResetModel();
    emit countChanged();
}

void TransactionModel::append(const QVector<Row> &rows)
{
    if (rows.isEmpty())
        return;
    const auto less = lessThan();
    QVector<Row> batch = rows;
    std::stable_sort(batch.begin(), batch.end(), less);
    // Rows that would go after the first `limit` are only counted: of the batch, those after
    // the limit-th of the batch, and those after the last row held when the model is full.
    if (batch.size() > m_limit) {
        m_dropped += batch.size() - m_limit;
        batch.resize(m_limit);
    }
    if (m_rows.size() >= m_limit) {
        // the rows of the batch not before the last row held
        const auto from =
            std::lower_bound(batch.begin(), batch.end(), m_rows.last(),
                             [&less](const Row &a, const Row &b) { return less(a, b); });
        m_dropped += int(batch.end() - from);
        batch.erase(from, batch.end());
        if (batch.isEmpty()) {
            emit countChanged();
            return;
        }
    }
    // Runs of the batch that fall in the same place go in with one insertion: the common case,
    // rows later than all before, is a single one.
    int i = 0;
    while (i < batch.size()) {
        const int place =
            int(std::upper_bound(m_rows.begin(), m_rows.end(), batch.at(i), less) - m_rows.begin());
        int end = i + 1;
        while (end < batch.size() &&
               (place == m_rows.size() || less(batch.at(end), m_rows.at(place))))
            ++end;
        beginInsertRows(QModelIndex(), place, place + end - i - 1);
        m_rows.insert(place, end - i, Row());
        std::copy(batch.begin() + i, batch.begin() + end, m_rows.begin() + place);
        endInsertRows();
        i = end;
    }
    if (m_rows.size() > m_limit) {
        const int over = m_rows.size() - m_limit;
        beginRemoveRows(QModelIndex(), m_limit, m_rows.size() - 1);
        m_rows.resize(m_limit);
        endRemoveRows();
        m_dropped += over;
    }
    emit countChanged();
}

QString TransactionModel::timeText(qint64 time)
{
    return QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString TransactionModel::isoTime(qint64 time)
{
    return QDateTime::fromMSecsSinceEpoch(time)
        .toOffsetFromUtc(QDateTime::fromMSecsSinceEpoch(time).offsetFromUtc())
        .toString(Qt::ISODateWithMs);
}

void TransactionModel::setExportError(const QString &error)
{
    if (error == m_exportError)
        return;
    m_exportError = error;
    emit exportErrorChanged();
}
