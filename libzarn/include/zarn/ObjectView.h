#pragma once

#include "zarn/ObjectData.h"

#include <memory>

namespace ardix::zarn {

// A typed view of an Object, given by Object::toDevice() and friends. Valid only when the
// object has the view's type; an invalid view answers 0 and empty texts.
class ObjectView
{
public:
    bool isValid() const { return static_cast<bool>(d_); }
    std::int64_t id() const { return d_ ? d_->id : 0; }
    const std::string &name() const;
    // The serial number, empty for an invalid view.
    const std::string &serialNumber() const;

protected:
    ObjectView(std::shared_ptr<const ObjectData> d, ObjectType wanted);

private:
    std::shared_ptr<const ObjectData> d_;
};

class DeviceView : public ObjectView
{
public:
    explicit DeviceView(std::shared_ptr<const ObjectData> d)
        : ObjectView(std::move(d), ObjectType::Device)
    {}
};

class SensorView : public ObjectView
{
public:
    explicit SensorView(std::shared_ptr<const ObjectData> d)
        : ObjectView(std::move(d), ObjectType::Sensor)
    {}
};

class ActuatorView : public ObjectView
{
public:
    explicit ActuatorView(std::shared_ptr<const ObjectData> d)
        : ObjectView(std::move(d), ObjectType::Actuator)
    {}
};

class StreamView : public ObjectView
{
public:
    explicit StreamView(std::shared_ptr<const ObjectData> d)
        : ObjectView(std::move(d), ObjectType::Stream)
    {}
};

} // namespace ardix::zarn
