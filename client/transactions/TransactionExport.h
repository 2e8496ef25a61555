#pragma once

#include "ReceiptQuery.h"
#include "TransactionModel.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <memory>

class TransactionSearch;

// Writes every receipt a transaction search found, not only the rows its table holds, as CSV
// (TransactionModel's columns and escaping), in the table's order: by time, the hours one after
// the other; by any other column, the receipts' order keys first, then each text read again.
// It reads the search's tills, range and query from the local store (TransactionStore) on a
// thread and a connection of its own, so the screen keeps moving however many rows there are;
// `progress` goes from 0 to 1 meanwhile. The file is written beside its place and renamed
// onto it once whole: a failed or cancelled export leaves nothing behind.
class TransactionExport : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged)
    Q_PROPERTY(int rowsWritten READ rowsWritten NOTIFY progressChanged)

public:
    struct Till
    {
        QString streamId;
        QString name;
    };
    struct Job
    {
        QString path;
        QVector<Till> tills;
        // The event server the tills belong to, as the store keeps their texts.
        QString server;
        qint64 from = 0;
        qint64 to = 0;
        ReceiptQuery query;
        int column = TransactionModel::TimeColumn;
        Qt::SortOrder order = Qt::AscendingOrder;
        QString storeFile = QStringLiteral("data.sqlite");
    };

    explicit TransactionExport(QObject *parent = nullptr);
    ~TransactionExport() override;

    bool running() const { return m_thread != nullptr; }
    double progress() const { return m_progress; }
    int rowsWritten() const { return m_rows; }

    // Exports what `search` last searched, in the order of its results; `path` a local path or
    // a file: URL. False (and nothing started) while an export runs or without a search.
    Q_INVOKABLE bool start(const QString &path, TransactionSearch *search);
    bool start(const Job &job);
    // Stops the export in progress; its file is not written.
    Q_INVOKABLE void cancel();

    // The work itself, on the calling thread: false with `error` when the file could not be
    // written or `cancelled` turned true. `progress` gets (share done, rows written).
    static bool run(const Job &job, const std::atomic<bool> &cancelled,
                    const std::function<void(double, int)> &progress, QString *error);

signals:
    void runningChanged();
    void progressChanged();
    // An export ended: `path` written, or `error` saying why not ("Cancelled" when cancelled).
    void finished(bool ok, const QString &path, const QString &error);

private:
    void done(bool ok, const QString &error);

    QThread *m_thread = nullptr;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QString m_path;
    double m_progress = 0;
    int m_rows = 0;
    quint64 m_generation = 0;
};
