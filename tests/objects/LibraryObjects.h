#pragma once

// Real library objects for the object-model tests, built through the library's own public
// ObjectData constructor.
#include <zarn/Object.h>
#include <zarn/Value.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace objects_test {

struct ObjectDesc
{
    std::int64_t id = 0;
    std::string name;
    int type = 0;
    std::string cls;
    std::int64_t parent = 0;
    std::vector<std::int64_t> children;
    std::vector<std::pair<std::string, ardix::zarn::Value>> settings;
    std::string serial;
};

inline ardix::zarn::Object makeObject(const ObjectDesc &desc)
{
    ardix::zarn::ObjectData data;
    data.id = desc.id;
    data.name = desc.name;
    data.type = desc.type;
    data.className = desc.cls;
    data.parent = desc.parent;
    data.children = desc.children;
    for (const auto &setting : desc.settings)
        data.settings.setValue(setting.first, setting.second);
    data.serialNumber = desc.serial;
    return ardix::zarn::Object(std::move(data));
}

} // namespace objects_test
