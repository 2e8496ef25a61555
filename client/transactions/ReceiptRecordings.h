#pragma once

#include <QHash>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QVector>

class TransactionModel;
class ZarnClient;

// Whether the tills' recordings still hold the moments of the receipts a search found: after
// check(), one search of the recording index per till over the time its receipts span (through
// ZarnClient::searchRecordedChunks, not one per row); the rows whose time no chunk holds then
// say "no video" (TransactionModel's noVideo). What the server answered is kept, so checking
// the same rows again asks nothing; a failed search leaves its rows unmarked.
class ReceiptRecordings : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ZarnClient *client READ client WRITE setClient NOTIFY clientChanged)
    Q_PROPERTY(TransactionModel *model READ model WRITE setModel NOTIFY modelChanged)
    // Searches asked and not answered yet.
    Q_PROPERTY(int pending READ pending NOTIFY pendingChanged)

public:
    using Chunks = QVector<QPair<qint64, qint64>>;

    explicit ReceiptRecordings(QObject *parent = nullptr);

    ZarnClient *client() const { return m_client; }
    void setClient(ZarnClient *client);
    TransactionModel *model() const { return m_model; }
    void setModel(TransactionModel *model);
    int pending() const { return m_pending.size(); }

    // Marks the model's rows from what is known and asks for the rest.
    Q_INVOKABLE void check();
    // Forgets what was answered (the recordings change as time passes).
    Q_INVOKABLE void forget();

signals:
    void clientChanged();
    void modelChanged();
    void pendingChanged();

private:
    struct Answer
    {
        qint64 from = 0;
        qint64 to = 0;
        Chunks chunks;
    };
    void received(const QString &streamId, qint64 from, qint64 to, const QVariantList &chunks);
    void failed(const QString &streamId, qint64 from, qint64 to);

    QPointer<ZarnClient> m_client;
    QPointer<TransactionModel> m_model;
    QHash<QString, QVector<Answer>> m_answers;
    QHash<QString, QPair<qint64, qint64>> m_pending; // per stream, the range asked
};
