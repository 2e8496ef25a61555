#pragma once

#include "zarn/Value.h"
#include "zarn/ValuePtr.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ardix::zarn {

// Ordered map of UTF-8 names to values: names() keeps insertion order, and setting an existing
// name replaces its value in place. Copyable; copies share the (immutable) values.
class NameValueMap
{
public:
    NameValueMap() = default;

    // Every name, in insertion order.
    std::vector<std::string> names() const;
    // The value of `name`, or a NoneValue when absent. Valid while the map is not changed.
    const Value &value(const std::string &name) const;
    // The value of `name` as a shared handle, empty when absent.
    ValuePtr valuePtr(const std::string &name) const;
    bool contains(const std::string &name) const;
    // Adds `name` at the end, or replaces its value where it stands.
    void setValue(const std::string &name, const Value &value);
    void setValue(const std::string &name, ValuePtr value);
    // Removes `name`; false when it was absent.
    bool remove(const std::string &name);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    void clear()
    {
        entries_.clear();
        index_.clear();
    }
    // Name/value pairs in order, for walks without a lookup per name.
    const std::vector<std::pair<std::string, ValuePtr>> &entries() const { return entries_; }

    bool operator==(const NameValueMap &other) const;
    bool operator!=(const NameValueMap &other) const { return !(*this == other); }

private:
    const ValuePtr &valuePtrRef(const std::string &name) const;
    // Position of `name` in entries_, or entries_.size() when absent.
    std::size_t position(const std::string &name) const;
    void rebuildIndex();

    std::vector<std::pair<std::string, ValuePtr>> entries_;
    // Name -> position, kept only for maps larger than a short scan, so that filling or
    // reading a large map is linear rather than quadratic.
    std::unordered_map<std::string, std::size_t> index_;
};

} // namespace ardix::zarn
