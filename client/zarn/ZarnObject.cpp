#include "ZarnObject.h"

#include "App.h"
#include "ZarnClient.h"
#include "ZarnSetting.h"

#include <zarn/Object.h>

#include <QCoreApplication>
#include <QDebug>
#include <QQmlEngine>

namespace {

void registerZarnObject()
{
    qmlRegisterType<ZarnObject>("Native", 1, 0, "ZarnObject");
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

} // namespace
Q_COREAPP_STARTUP_FUNCTION(registerZarnObject)

ZarnObject::ZarnObject(QObject *parent)
    : QObject(parent)
{}

ZarnSetting *ZarnObject::settings() const
{
    if (m_settings)
        return m_settings.get();
    m_settings = std::make_unique<ZarnSetting>();
    // The settings model has no Qt parent; without this the engine could adopt and delete it
    // when a script hands it around.
    QQmlEngine::setObjectOwnership(m_settings.get(), QQmlEngine::CppOwnership);
    for (const auto &[key, text] : m_settingTexts)
        m_settings->insert(key, text);
    m_settingTexts.clear();
    m_settingTexts.shrink_to_fit();
    return m_settings.get();
}

ZarnObject::~ZarnObject() = default;

ZarnObjectPtr ZarnObject::fromObject(const ardix::zarn::Object &o)
{
    if (!o.isValid())
        return nullptr;
    auto obj = std::make_shared<ZarnObject>();
    const int type = o.type();
    if (type < User || type > Stream) {
        qWarning() << "Unknow type: " << type;
        return nullptr;
    }
    obj->setType(static_cast<Type>(type));
    obj->setCls(fromUtf8(o.className()));
    obj->setId(QString::number(o.id()));
    obj->setName(fromUtf8(o.name()));
    QStringList childIds;
    childIds.reserve(static_cast<int>(o.children().size()));
    for (std::int64_t child : o.children())
        childIds.append(QString::number(child));
    obj->setChildIds(childIds);
    obj->setParentId(QString::number(o.parent()));
    const auto &entries = o.settings().entries();
    obj->m_settingTexts.reserve(entries.size());
    for (const auto &entry : entries)
        obj->m_settingTexts.emplace_back(fromUtf8(entry.first), fromUtf8(entry.second->toString()));
    obj->readSerial(o);
    return obj;
}

void ZarnObject::readSerial(const ardix::zarn::Object &o)
{
    QString serial;
    switch (m_type) {
    case Device:
        serial = fromUtf8(o.toDevice().serialNumber());
        break;
    case Sensor:
        serial = fromUtf8(o.toSensor().serialNumber());
        break;
    case Actuator:
        serial = fromUtf8(o.toActuator().serialNumber());
        break;
    case Stream:
        serial = fromUtf8(o.toStream().serialNumber());
        break;
    case Location:
        break;
    default:
        qDebug() << "No serial for type: " << static_cast<int>(m_type);
        break;
    }
    setSerial(serial);
}

void ZarnObject::setType(Type type)
{
    if (type == m_type)
        return;
    m_type = type;
    emit typeChanged();
}

void ZarnObject::setId(const QString &id)
{
    if (id == m_id)
        return;
    m_id = id;
    emit idChanged();
}

void ZarnObject::setName(const QString &name)
{
    if (name == m_name)
        return;
    m_name = name;
    emit nameChanged();
}

void ZarnObject::setCls(const QString &cls)
{
    if (cls == m_cls)
        return;
    m_cls = cls;
    emit clsChanged();
}

void ZarnObject::setPath(const QString &path)
{
    if (path == m_path)
        return;
    m_path = path;
    emit pathChanged();
}

void ZarnObject::setChildIds(const QStringList &childIds)
{
    m_childIds = childIds;
    m_childSlots.clear();
    emit childIdsChanged();
}

void ZarnObject::appendChildId(const QString &id)
{
    if (m_childSlots.empty())
        indexChildIds();
    const std::size_t slot = childSlot(id);
    if (m_childSlots[slot] == 0) {
        m_childIds.append(id);
        if (2 * static_cast<std::size_t>(m_childIds.size()) > m_childSlots.size())
            fillChildSlots(2 * m_childSlots.size());
        else
            m_childSlots[slot] = m_childIds.size();
    }
    emit childIdsChanged();
}

// Indexes the list, first dropping any duplicates it holds (the first occurrence wins).
void ZarnObject::indexChildIds()
{
    std::size_t size = 8;
    while (size < 2 * static_cast<std::size_t>(m_childIds.size()))
        size *= 2;
    m_childSlots.assign(size, 0);
    QStringList unique;
    for (int i = 0; i < m_childIds.size(); ++i) {
        const QString &id = m_childIds.at(i);
        const std::size_t slot = childSlot(id);
        if (m_childSlots[slot] != 0) {
            if (unique.isEmpty())
                unique = m_childIds.mid(0, i);
            continue;
        }
        m_childSlots[slot] = i + 1;
        if (!unique.isEmpty())
            unique.append(id);
    }
    if (!unique.isEmpty()) {
        m_childIds = unique;
        fillChildSlots(size);
    }
}

// The slot holding id, or the free slot where it belongs.
std::size_t ZarnObject::childSlot(const QString &id) const
{
    const std::size_t mask = m_childSlots.size() - 1;
    std::size_t slot = qHash(id) & mask;
    while (m_childSlots[slot] != 0 && m_childIds.at(m_childSlots[slot] - 1) != id)
        slot = (slot + 1) & mask;
    return slot;
}

// Rebuilds the table at the given size from a list without duplicates.
void ZarnObject::fillChildSlots(std::size_t size)
{
    m_childSlots.assign(size, 0);
    for (int i = 0; i < m_childIds.size(); ++i)
        m_childSlots[childSlot(m_childIds.at(i))] = i + 1;
}

void ZarnObject::setParentId(const QString &parentId)
{
    if (parentId == m_parentId)
        return;
    m_parentId = parentId;
    emit parentIdChanged();
}

void ZarnObject::setSerial(const QString &serial)
{
    if (serial == m_serial)
        return;
    m_serial = serial;
    emit serialChanged();
}

void ZarnObject::setValue(const QVariant &value)
{
    m_value = value.toBool();
    m_valueKnown = true;
    emit valueChanged();
}

void ZarnObject::requestValue(bool value)
{
    if (m_type != Actuator)
        return;
    App *app = App::instance();
    ZarnClient *client = app ? app->zarnClient() : nullptr;
    if (!client) {
        qWarning() << "No event-server client to set actuator" << m_id;
        return;
    }
    client->setActrValue(m_id, value);
}
