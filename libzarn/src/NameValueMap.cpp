#include "zarn/NameValueMap.h"

#include <algorithm>

namespace ardix::zarn {

namespace {
template <typename Entries> auto findName(Entries &entries, const std::string &name)
{
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto &e) { return e.first == name; });
}
} // namespace

std::vector<std::string> NameValueMap::names() const
{
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto &e : entries_)
        out.push_back(e.first);
    return out;
}

const Value &NameValueMap::value(const std::string &name) const
{
    return valuePtrRef(name).value();
}

ValuePtr NameValueMap::valuePtr(const std::string &name) const
{
    return valuePtrRef(name);
}

const ValuePtr &NameValueMap::valuePtrRef(const std::string &name) const
{
    static const ValuePtr empty;
    auto it = findName(entries_, name);
    return it == entries_.end() ? empty : it->second;
}

bool NameValueMap::contains(const std::string &name) const
{
    return findName(entries_, name) != entries_.end();
}

void NameValueMap::setValue(const std::string &name, const Value &value)
{
    setValue(name, ValuePtr(value));
}

void NameValueMap::setValue(const std::string &name, ValuePtr value)
{
    // Settings keep a none value rather than an empty handle, so value() and the wire agree.
    if (!value)
        value = ValuePtr(Value());
    auto it = findName(entries_, name);
    if (it == entries_.end())
        entries_.emplace_back(name, std::move(value));
    else
        it->second = std::move(value);
}

bool NameValueMap::remove(const std::string &name)
{
    auto it = findName(entries_, name);
    if (it == entries_.end())
        return false;
    entries_.erase(it);
    return true;
}

bool NameValueMap::operator==(const NameValueMap &other) const
{
    if (entries_.size() != other.entries_.size())
        return false;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first != other.entries_[i].first ||
            entries_[i].second.value() != other.entries_[i].second.value())
            return false;
    }
    return true;
}

} // namespace ardix::zarn
