#pragma once

#include "FoundObjects.h"
#include "ObjectIndex.h"

#include <QAbstractItemModel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class ZarnObjectsRepository;

// Finds objects of the camera tree by what the operator types: every object whose name or
// serial holds the text, ignoring case and accents ("cafe" finds "Café"), the text taken as
// written (no pattern). The matches, with their ancestors, are the model; one of them is
// current, the first after each change of text, walked with next() and previous().
class ObjectFinder : public QObject
{
    Q_OBJECT
    Q_PROPERTY(ZarnObjectsRepository *repository READ repository WRITE setRepository NOTIFY
                   repositoryChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    // False while the text holds nothing but spaces: the whole tree is shown then.
    Q_PROPERTY(bool active READ active NOTIFY resultsChanged)
    Q_PROPERTY(QAbstractItemModel *model READ model CONSTANT)
    Q_PROPERTY(int matchCount READ matchCount NOTIFY resultsChanged)
    // -1 when nothing matches.
    Q_PROPERTY(int currentMatch READ currentMatch NOTIFY currentChanged)
    Q_PROPERTY(int currentRow READ currentRow NOTIFY currentChanged)
    Q_PROPERTY(QString currentId READ currentId NOTIFY currentChanged)

public:
    explicit ObjectFinder(QObject *parent = nullptr);
    ~ObjectFinder() override;

    ZarnObjectsRepository *repository() const { return m_repository; }
    void setRepository(ZarnObjectsRepository *repository);
    QString text() const { return m_text; }
    void setText(const QString &text);
    bool active() const { return !m_folded.isEmpty(); }
    QAbstractItemModel *model() { return &m_found; }
    int matchCount() const { return static_cast<int>(m_found.result().matches.size()); }
    int currentMatch() const { return m_current; }
    int currentRow() const;
    QString currentId() const;

    // The next and previous match become current, the last after the first and back.
    Q_INVOKABLE void next();
    Q_INVOKABLE void previous();
    // The match shown on `row` becomes current; false for a row of an ancestor.
    Q_INVOKABLE bool chooseRow(int row);
    // The stream that showing the current match shows: the match itself when it is a stream,
    // else its first stream; empty when it has none or nothing matches.
    Q_INVOKABLE QString streamToShow() const;

public slots:
    // Reads the repository's tree again, at once while a search is shown, else at the next
    // search; called by itself after each rebuild of the tree.
    void reindex();

signals:
    void repositoryChanged();
    void textChanged();
    void resultsChanged();
    void currentChanged();

private:
    void search(const QString &keepCurrent);
    void setCurrent(int match);

    QPointer<ZarnObjectsRepository> m_repository;
    std::shared_ptr<const ObjectIndex> m_index;
    FoundObjects m_found;
    QTimer m_reindexTimer;
    QString m_text;
    QString m_folded;
    int m_current = -1;
    bool m_stale = true; // the index predates the repository's last rebuild
};
