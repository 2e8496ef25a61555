#include "ObjectFinder.h"

#include "ReceiptQuery.h"
#include "ZarnObjectsRepository.h"

#include <QCoreApplication>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerObjectFinder()
{
    qmlRegisterType<ObjectFinder>("Native", 1, 0, "ObjectFinder");
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerObjectFinder)

ObjectFinder::ObjectFinder(QObject *parent)
    : QObject(parent)
    , m_index(std::make_shared<ObjectIndex>())
{
    // The repository says "changed" more than once per rebuild: one index for them all.
    m_reindexTimer.setSingleShot(true);
    m_reindexTimer.setInterval(0);
    connect(&m_reindexTimer, &QTimer::timeout, this, &ObjectFinder::reindex);
}

ObjectFinder::~ObjectFinder() = default;

void ObjectFinder::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository == repository)
        return;
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        const auto later = [this] { m_reindexTimer.start(); };
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this, later);
        connect(m_repository, &ZarnObjectsRepository::rootChanged, this, later);
    }
    emit repositoryChanged();
    reindex();
}

void ObjectFinder::reindex()
{
    m_reindexTimer.stop();
    m_stale = true;
    // Without a search shown the index waits for the next one: an operator who never searches
    // pays nothing per rebuild of the server's tree.
    if (active())
        search(currentId());
}

void ObjectFinder::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
    const QString folded = ReceiptQuery::fold(text);
    if (folded == m_folded)
        return;
    m_folded = folded;
    search(QString());
}

void ObjectFinder::search(const QString &keepCurrent)
{
    // Views read the current match while the model resets: none until the new one is known.
    m_current = -1;
    if (m_stale && active()) {
        m_index = std::make_shared<ObjectIndex>(m_repository.data());
        m_stale = false;
    }
    m_found.show(m_index, m_index->find(m_folded));
    int current = matchCount() > 0 ? 0 : -1;
    for (int m = 0; !keepCurrent.isEmpty() && m < matchCount(); ++m) {
        if (m_index->at(m_found.entryAt(m_found.result().matches[std::size_t(m)])).id ==
            keepCurrent) {
            current = m;
            break;
        }
    }
    m_current = current;
    emit resultsChanged();
    emit currentChanged();
}

int ObjectFinder::currentRow() const
{
    const auto &matches = m_found.result().matches;
    return m_current < 0 || m_current >= int(matches.size()) ? -1 : matches[std::size_t(m_current)];
}

QString ObjectFinder::currentId() const
{
    const int entry = m_found.entryAt(currentRow());
    return entry < 0 ? QString() : m_index->at(entry).id;
}

void ObjectFinder::setCurrent(int match)
{
    if (match == m_current)
        return;
    m_current = match;
    emit currentChanged();
}

void ObjectFinder::next()
{
    if (matchCount() > 0)
        setCurrent((m_current + 1) % matchCount());
}

void ObjectFinder::previous()
{
    if (matchCount() > 0)
        setCurrent((m_current + matchCount() - 1) % matchCount());
}

bool ObjectFinder::chooseRow(int row)
{
    const auto &matches = m_found.result().matches;
    const auto at = std::lower_bound(matches.begin(), matches.end(), row);
    if (at == matches.end() || *at != row)
        return false;
    setCurrent(static_cast<int>(at - matches.begin()));
    return true;
}

QString ObjectFinder::streamToShow() const
{
    const int stream = m_index->firstStream(m_found.entryAt(currentRow()));
    return stream < 0 ? QString() : m_index->at(stream).id;
}
