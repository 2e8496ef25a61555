#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>
#include <QString>
#include <QVector>

#include <functional>

// The receipts a transaction search found, one row each, sorted by time (oldest first) unless
// sorted otherwise; rows arrive in batches and are inserted where the current sort puts them.
// Each column also answers its role, so a QML TableView reads `display` and a ListView reads
// the named roles (time, timeText, till, streamId, firstLine, amount, lines, text, kind).
// It holds at most `limit` rows, the first ones in its order: a row that would go after them
// is counted in `dropped` and not kept; one that goes before pushes the last one out.
class TransactionModel : public QAbstractTableModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int sortColumn READ sortColumn NOTIFY sortChanged)
    Q_PROPERTY(Qt::SortOrder sortOrder READ sortOrder NOTIFY sortChanged)
    // Why the last exportCsv() failed; empty after one that succeeded.
    Q_PROPERTY(QString exportError READ exportError NOTIFY exportErrorChanged)
    // Rows found beyond the limit and not kept since the last clear().
    Q_PROPERTY(int dropped READ dropped NOTIFY countChanged)
    Q_PROPERTY(int limit READ limit CONSTANT)

public:
    enum Column {
        TimeColumn, // ms since the epoch (display: the local time as text)
        TillColumn, // the till's name
        StreamIdColumn,
        FirstLineColumn,
        AmountColumn, // the total, else the largest amount; NaN (display: empty) when none;
                      // sorted by size, a refund of -31.96 above one of -0.59
        LinesColumn,
        TextColumn, // the whole text
        KindColumn, // "sale", "REFUND", "VOID", "NO SALE" (ReceiptSummary)
        ColumnCount
    };
    Q_ENUM(Column)
    enum Role {
        TimeRole = Qt::UserRole + 1,
        TimeTextRole, // local, "2026-12-08 14:32:05"
        TillRole,
        StreamIdRole,
        FirstLineRole,
        AmountRole,
        LinesRole,
        TextRole,
        KindRole,
        NoVideoRole // true when the till's recordings, once known, hold nothing at that time
    };
    Q_ENUM(Role)

    struct Row
    {
        qint64 time = 0;
        QString till;
        QString streamId;
        QString firstLine;
        double amount = 0; // NaN: no amount
        int lines = 0;
        QString text;
        QString kind;
        bool noVideo = false;
    };

    static constexpr int kDefaultLimit = 10000;

    explicit TransactionModel(QObject *parent = nullptr, int limit = kDefaultLimit);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;
    // Stable: rows that compare equal keep their order. By time, till or amount (or any
    // column); rows added later go where this order puts them.
    Q_INVOKABLE void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int count() const { return m_rows.size(); }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    QString exportError() const { return m_exportError; }
    int dropped() const { return m_dropped; }
    int limit() const { return m_limit; }
    // The order of the rows as a comparison (for an export of every row found).
    std::function<bool(const Row &, const Row &)> lessThan() const;
    static std::function<bool(const Row &, const Row &)> lessThan(int column, Qt::SortOrder order);
    // A row of a receipt text: its first line, amount, lines and kind read from it.
    static Row rowOf(qint64 time, const QString &till, const QString &streamId,
                     const QString &text);
    // One CSV line of a row (with its "\r\n"), as exportCsv() writes it.
    static QByteArray csvLine(const Row &row);
    static QByteArray csvHeader();

    // A row's fields as a map of its role names (for QML).
    Q_INVOKABLE QVariantMap get(int row) const;
    // Writes every row, in the current order, as UTF-8 CSV with a header: time (ISO 8601 with
    // the local offset, "2026-12-08T14:32:05.123+01:00"), till, stream id, text. Written to a
    // temporary file beside `path`, then renamed over it: a failure leaves nothing half
    // written. `path` may be a local path or a file: URL. False, with exportError, on failure.
    Q_INVOKABLE bool exportCsv(const QString &path);

    // What a search of the recordings of `streamId` over [from, to) answered, as [start, end)
    // chunks: the stream's rows in that range whose time no chunk holds say "no video".
    void markRecorded(const QString &streamId, qint64 from, qint64 to,
                      const QVector<QPair<qint64, qint64>> &chunks);
    // Per stream, the first and last time of its rows, as {streamId: [first, last]}.
    QHash<QString, QPair<qint64, qint64>> spans() const;

    void clear();
    void append(const QVector<Row> &rows);
    const Row &row(int index) const { return m_rows.at(index); }

    static QString timeText(qint64 time);
    static QString isoTime(qint64 time);

signals:
    void countChanged();
    void sortChanged();
    void exportErrorChanged();

private:
    void setExportError(const QString &error);

    QVector<Row> m_rows;
    int m_sortColumn = TimeColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_exportError;
    int m_limit = kDefaultLimit;
    int m_dropped = 0;
};
