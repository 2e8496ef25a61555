#include "NameFilter.h"

#include "ReceiptQuery.h"

#include <QCoreApplication>
#include <QQmlEngine>

namespace {

void registerNameFilter()
{
    qmlRegisterType<NameFilter>("Native", 1, 0, "NameFilter");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerNameFilter)

NameFilter::NameFilter(QObject *parent)
    : QAbstractListModel(parent)
{}

NameFilter::~NameFilter() = default;

void NameFilter::setNames(const QStringList &names)
{
    if (names == m_names)
        return;
    m_names = names;
    m_folded.clear();
    m_folded.reserve(names.size());
    for (const QString &name : names)
        m_folded.append(ReceiptQuery::fold(name));
    emit namesChanged();
    refilter();
}

void NameFilter::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
    const QString folded = ReceiptQuery::fold(text);
    if (folded == m_foldedText)
        return;
    m_foldedText = folded;
    refilter();
}

void NameFilter::refilter()
{
    const int before = count();
    beginResetModel();
    m_rows.clear();
    for (int i = 0; i < m_folded.size(); ++i) {
        if (m_folded.at(i).contains(m_foldedText))
            m_rows.push_back(i);
    }
    endResetModel();
    if (count() != before)
        emit countChanged();
}

QString NameFilter::nameAt(int row) const
{
    return row >= 0 && row < count() ? m_names.at(m_rows[std::size_t(row)]) : QString();
}

int NameFilter::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant NameFilter::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return nameAt(index.row());
    case WholeIndexRole:
        return m_rows[std::size_t(index.row())];
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> NameFilter::roleNames() const
{
    return {{NameRole, "name"}, {WholeIndexRole, "wholeIndex"}};
}
