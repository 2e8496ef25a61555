#pragma once

#include "zarn/NameValueMap.h"
#include "zarn/ObjectData.h"
#include "zarn/ObjectView.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ardix::zarn {

// One object of the server's tree (Client::getObjects gives them as a flat list).
// A shared, immutable handle: copies are cheap. A default-constructed Object is invalid and
// answers 0, empty texts and empty lists.
class Object
{
public:
    Object() = default;
    explicit Object(ObjectData data);

    bool isValid() const { return static_cast<bool>(d_); }
    std::int64_t id() const;
    const std::string &name() const;
    // 1-10, see ObjectType.
    int type() const;
    const std::string &className() const;
    // Id of the parent object, 0 for the root.
    std::int64_t parent() const;
    // Ids of the children in the server's order.
    const std::vector<std::int64_t> &children() const;
    const NameValueMap &settings() const;

    // Typed views; each is valid only when type() matches.
    DeviceView toDevice() const { return DeviceView(d_); }
    SensorView toSensor() const { return SensorView(d_); }
    ActuatorView toActuator() const { return ActuatorView(d_); }
    StreamView toStream() const { return StreamView(d_); }

    const ObjectData &data() const;

private:
    std::shared_ptr<const ObjectData> d_;
};

} // namespace ardix::zarn
