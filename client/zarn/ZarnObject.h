#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

namespace ardix::zarn {
class Object;
}

class ZarnSetting;
class ZarnObject;

using ZarnObjectPtr = std::shared_ptr<ZarnObject>;

// QML's copy of one server object. Objects are held by shared ownership on the native side
// and never owned by the QML engine, which only ever sees plain pointers to them.
class ZarnObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Type type READ type WRITE setType NOTIFY typeChanged)
    Q_PROPERTY(QString id READ id WRITE setId NOTIFY idChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString cls READ cls WRITE setCls NOTIFY clsChanged)
    Q_PROPERTY(QString path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QStringList childIds READ childIds WRITE setChildIds NOTIFY childIdsChanged)
    Q_PROPERTY(QString parentId READ parentId WRITE setParentId NOTIFY parentIdChanged)
    Q_PROPERTY(QString serial READ serial WRITE setSerial NOTIFY serialChanged)
    Q_PROPERTY(ZarnSetting *settings READ settings NOTIFY settingsChanged)
    Q_PROPERTY(bool value READ value WRITE requestValue NOTIFY valueChanged)
    // False until the server reported a value: `value` reads false meanwhile, which says
    // nothing about the door or lock.
    Q_PROPERTY(bool valueKnown READ valueKnown NOTIFY valueChanged)

public:
    // The server's object types, numbered as the library numbers them. A new object has
    // type 0 (none of these) until a type is set.
    enum Type {
        User = 1,
        Device = 2,
        Service = 3,
        Group = 4,
        Script = 5,
        Policy = 6,
        Location = 7,
        Sensor = 8,
        Actuator = 9,
        Stream = 10
    };
    Q_ENUM(Type)

    explicit ZarnObject(QObject *parent = nullptr);
    ~ZarnObject() override;

    // Null for an invalid library object or one of a type outside 1-10.
    static ZarnObjectPtr fromObject(const ardix::zarn::Object &o);

    Type type() const { return m_type; }
    void setType(Type type);
    QString id() const { return m_id; }
    void setId(const QString &id);
    QString name() const { return m_name; }
    void setName(const QString &name);
    QString cls() const { return m_cls; }
    void setCls(const QString &cls);
    QString path() const { return m_path; }
    void setPath(const QString &path);
    QStringList childIds() const { return m_childIds; }
    // Always emits childIdsChanged().
    void setChildIds(const QStringList &childIds);
    // Appends id unless the list holds it already, removing any duplicates the list had, and
    // always emits childIdsChanged(). Costs O(1) per call after the first, so that a parent
    // with many children is filled in linear time.
    void appendChildId(const QString &id);
    QString parentId() const { return m_parentId; }
    void setParentId(const QString &parentId);
    QString serial() const { return m_serial; }
    void setSerial(const QString &serial);
    // Made on first use: most of a large site's objects are never asked for their settings,
    // and a model per object would double the cost of loading the tree.
    ZarnSetting *settings() const;

    bool value() const { return m_value; }
    bool valueKnown() const { return m_valueKnown; }
    // The state the server reported; always emits valueChanged().
    void setValue(const QVariant &value);
    // A write from QML: asks the server to set an actuator, and changes nothing here.
    void requestValue(bool value);

signals:
    void typeChanged();
    void idChanged();
    void nameChanged();
    void clsChanged();
    void pathChanged();
    void childIdsChanged();
    void parentIdChanged();
    void serialChanged();
    void settingsChanged();
    void valueChanged();

private:
    void readSerial(const ardix::zarn::Object &o);
    void indexChildIds();
    std::size_t childSlot(const QString &id) const;
    void fillChildSlots(std::size_t size);

    Type m_type = static_cast<Type>(0);
    QString m_id;
    QString m_name;
    QString m_cls;
    QString m_path;
    QStringList m_childIds;
    QString m_parentId;
    QString m_serial;
    mutable std::unique_ptr<ZarnSetting> m_settings;
    // The server's settings until settings() is first asked for.
    mutable std::vector<std::pair<QString, QString>> m_settingTexts;
    bool m_value = false;
    bool m_valueKnown = false;
    // Index of m_childIds for appendChildId, built on first use and dropped by setChildIds:
    // an open-addressing table of list positions + 1 (0 marks a free slot), its size a power
    // of two at least twice the list's. One allocation per parent instead of one per child.
    std::vector<int> m_childSlots;
};
