#pragma once

#include "zarn/NameValueMap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ardix::zarn {

// Object types as the server numbers them (Object::type()).
enum class ObjectType : int {
    User = 1,
    Device = 2,
    Service = 3,
    Group = 4,
    Script = 5,
    Policy = 6,
    Location = 7,
    Sensor = 8,
    Actuator = 9,
    Stream = 10,
};

// The plain fields of one server object; Object wraps them in a shared, immutable handle.
struct ObjectData
{
    std::int64_t id = 0;
    std::string name;                   // UTF-8
    int type = 0;                       // ObjectType value, 1-10 for objects the server knows
    std::string className;              // for example "actuator.DOOR"
    std::int64_t parent = 0;            // 0 for the root
    std::vector<std::int64_t> children; // ids, in the server's order
    NameValueMap settings;
    std::string serialNumber; // devices, sensors, actuators and streams; else empty
};

} // namespace ardix::zarn
