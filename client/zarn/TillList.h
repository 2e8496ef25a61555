#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <vector>

class ZarnObjectsRepository;

// The site's video streams as the tills a receipt search may cover, by name, each with the
// address of the gateway that keeps its receipts (GatewayAddress, as the recorded page finds
// it). A stream is a till when its settings say so
// ("till": true) or when texts of its channel were received (noteTexts()); the tills come
// first, the other cameras after them (role `till` false). On a site that marks no stream every
// stream is a till, as before tills were marked.
// The operator chooses some of them; with none chosen every till is meant. Built again
// whenever the repository reloads the server's tree; what was chosen stays chosen.
class TillList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(ZarnObjectsRepository *repository READ repository WRITE setRepository NOTIFY
                   repositoryChanged)
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
    // How many are chosen; 0 means all of them.
    Q_PROPERTY(int chosenCount READ chosenCount NOTIFY chosenChanged)
    // How many of the rows are tills (the first ones), and other cameras (the rest).
    Q_PROPERTY(int tillCount READ tillCount NOTIFY countChanged)

public:
    enum Role {
        StreamIdRole = Qt::UserRole + 1,
        DeviceIdRole,
        NameRole,
        AddressRole,
        GatewayRole,
        ChosenRole,
        TillRole
    };

    struct Till
    {
        QString streamId;
        QString deviceId;
        QString name;
        QString address;
        bool till = false;
        QString gateway; // "http://host:port"
    };

    explicit TillList(QObject *parent = nullptr);
    ~TillList() override;

    ZarnObjectsRepository *repository() const { return m_repository; }
    void setRepository(ZarnObjectsRepository *repository);
    int chosenCount() const { return m_chosen.size(); }
    int tillCount() const { return m_tillCount; }

    // Chooses or leaves the till of that row; out of range rows change nothing.
    Q_INVOKABLE void setChosen(int row, bool chosen);
    // Back to every till.
    Q_INVOKABLE void chooseAll();
    // The tills to search: the chosen ones, or all when none is; each a map of streamId,
    // deviceId, name, address and gateway ("http://host:port").
    Q_INVOKABLE QVariantList searched() const;
    // Texts of this stream's channel were received: it is a till from now on.
    Q_INVOKABLE void noteTexts(const QString &streamId);
    // The name of a stream, or its id when the list does not know it.
    Q_INVOKABLE QString nameOf(const QString &streamId) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

public slots:
    void rebuild();

signals:
    void repositoryChanged();
    void countChanged();
    void chosenChanged();

private:
    QVariantMap describe(const Till &till) const;

    QPointer<ZarnObjectsRepository> m_repository;
    std::vector<Till> m_tills;
    QSet<QString> m_chosen;
    QSet<QString> m_withTexts;
    int m_tillCount = 0;
};
