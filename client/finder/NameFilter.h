#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <vector>

// A list of names cut down to those that hold a text, ignoring case and accents, the text taken
// as written. Each row keeps its place in the whole list ("wholeIndex"), so that what is
// numbered by that place (the keys 1 to 9 for the layouts) keeps its number when filtered.
class NameFilter : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QStringList names READ names WRITE setNames NOTIFY namesChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { NameRole = Qt::UserRole + 1, WholeIndexRole };

    explicit NameFilter(QObject *parent = nullptr);
    ~NameFilter() override;

    QStringList names() const { return m_names; }
    void setNames(const QStringList &names);
    QString text() const { return m_text; }
    void setText(const QString &text);
    int count() const { return static_cast<int>(m_rows.size()); }
    // The name on `row`; empty outside the rows.
    Q_INVOKABLE QString nameAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void namesChanged();
    void textChanged();
    void countChanged();

private:
    void refilter();

    QStringList m_names;
    QStringList m_folded;
    QString m_text;
    QString m_foldedText;
    std::vector<int> m_rows;
};
