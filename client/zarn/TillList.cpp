#include "TillList.h"

#include "GatewayAddress.h"
#include "ZarnObject.h"
#include "ZarnObjectsRepository.h"
#include "ZarnSetting.h"

#include <QCollator>
#include <QCoreApplication>
#include <QQmlEngine>

#include <algorithm>

namespace {

void registerTillList()
{
    qmlRegisterType<TillList>("Native", 1, 0, "TillList");
}

// Streams of another kind (audio, metadata) have no till in view; a stream without a class is
// taken for video, as the layouts take it.
bool isVideoStream(const ZarnObject &object)
{
    if (object.type() != ZarnObject::Stream)
        return false;
    const QString cls = object.cls();
    return cls.isEmpty() || cls.compare(QLatin1String("stream.VIDEO"), Qt::CaseInsensitive) == 0;
}

// The setting "till": true (the server sends its text "true"; "1" and "yes" are taken too).
bool marksTill(const ZarnObject &object)
{
    ZarnSetting *settings = object.settings();
    if (!settings || !settings->contains(QStringLiteral("till")))
        return false;
    const QString value = settings->prop(QStringLiteral("till")).trimmed();
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
           value == QLatin1String("1") ||
           value.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerTillList)

TillList::TillList(QObject *parent)
    : QAbstractListModel(parent)
{}

TillList::~TillList() = default;

void TillList::setRepository(ZarnObjectsRepository *repository)
{
    if (m_repository == repository)
        return;
    if (m_repository)
        disconnect(m_repository, nullptr, this, nullptr);
    m_repository = repository;
    if (m_repository) {
        connect(m_repository, &ZarnObjectsRepository::dataChanged, this, &TillList::rebuild);
        connect(m_repository, &ZarnObjectsRepository::rootChanged, this, &TillList::rebuild);
    }
    emit repositoryChanged();
    rebuild();
}

void TillList::rebuild()
{
    std::vector<Till> tills;
    if (m_repository) {
        for (const ZarnObjectPtr &object : m_repository->objects()) {
            if (!object || !isVideoStream(*object))
                continue;
            const GatewayAddress gateway =
                GatewayAddress::ofDevice(m_repository, object->parentId());
            tills.push_back({object->id(), object->parentId(), object->name(), gateway.host(),
                             marksTill(*object), gateway.httpBase()});
        }
    }
    const bool marked =
        std::any_of(tills.begin(), tills.end(), [](const Till &till) { return till.till; });
    for (Till &till : tills)
        till.till = till.till || !marked || m_withTexts.contains(till.streamId);
    // "Till 2" before "Till 10"; the id settles equal names, so the order is the same each time.
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(tills.begin(), tills.end(), [&](const Till &a, const Till &b) {
        if (a.till != b.till)
            return a.till;
        const int byName = collator.compare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.streamId < b.streamId;
    });

    beginResetModel();
    m_tills = std::move(tills);
    m_tillCount = int(
        std::count_if(m_tills.begin(), m_tills.end(), [](const Till &till) { return till.till; }));
    QSet<QString> known;
    for (const Till &till : m_tills)
        known.insert(till.streamId);
    const int chosenBefore = m_chosen.size();
    m_chosen.intersect(known);
    endResetModel();
    emit countChanged();
    if (m_chosen.size() != chosenBefore)
        emit chosenChanged();
}

void TillList::setChosen(int row, bool chosen)
{
    if (row < 0 || row >= rowCount())
        return;
    const QString &id = m_tills[static_cast<std::size_t>(row)].streamId;
    if (m_chosen.contains(id) == chosen)
        return;
    if (chosen)
        m_chosen.insert(id);
    else
        m_chosen.remove(id);
    emit dataChanged(index(row), index(row), {ChosenRole});
    emit chosenChanged();
}

void TillList::chooseAll()
{
    if (m_chosen.isEmpty())
        return;
    m_chosen.clear();
    if (!m_tills.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {ChosenRole});
    emit chosenChanged();
}

void TillList::noteTexts(const QString &streamId)
{
    if (streamId.isEmpty() || m_withTexts.contains(streamId))
        return;
    m_withTexts.insert(streamId);
    const auto known = std::find_if(m_tills.begin(), m_tills.end(),
                                    [&](const Till &till) { return till.streamId == streamId; });
    // A stream already among the tills changes nothing (every stream is one on a site that
    // marks none).
    if (known == m_tills.end() || known->till)
        return;
    rebuild();
}

QVariantList TillList::searched() const
{
    QVariantList list;
    for (const Till &till : m_tills) {
        if (m_chosen.isEmpty() ? till.till : m_chosen.contains(till.streamId))
            list.append(describe(till));
    }
    return list;
}

QString TillList::nameOf(const QString &streamId) const
{
    for (const Till &till : m_tills) {
        if (till.streamId == streamId)
            return till.name;
    }
    return streamId;
}

QVariantMap TillList::describe(const Till &till) const
{
    return {{QStringLiteral("streamId"), till.streamId},
            {QStringLiteral("deviceId"), till.deviceId},
            {QStringLiteral("name"), till.name},
            {QStringLiteral("address"), till.address},
            {QStringLiteral("gateway"), till.gateway}};
}

int TillList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_tills.size());
}

QVariant TillList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Till &till = m_tills[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return till.name;
    case StreamIdRole:
        return till.streamId;
    case DeviceIdRole:
        return till.deviceId;
    case AddressRole:
        return till.address;
    case GatewayRole:
        return till.gateway;
    case ChosenRole:
        return m_chosen.contains(till.streamId);
    case TillRole:
        return till.till;
    default:
        return {};
    }
}

QHash<int, QByteArray> TillList::roleNames() const
{
    return {{StreamIdRole, "streamId"}, {DeviceIdRole, "deviceId"}, {NameRole, "name"},
            {AddressRole, "address"},   {GatewayRole, "gateway"},   {ChosenRole, "chosen"},
            {TillRole, "till"}};
}
