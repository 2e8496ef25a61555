#include "zarn/NameValueMap.h"

namespace ardix::zarn {

namespace {
// Up to this many entries a scan is cheaper than keeping a hash index.
constexpr std::size_t kScanLimit = 16;
} // namespace

std::size_t NameValueMap::position(const std::string &name) const
{
    if (!index_.empty()) {
        auto it = index_.find(name);
        return it == index_.end() ? entries_.size() : it->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first == name)
            return i;
    }
    return entries_.size();
}

void NameValueMap::rebuildIndex()
{
    index_.clear();
    if (entries_.size() <= kScanLimit)
        return;
    index_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i)
        index_.emplace(entries_[i].first, i);
}

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
    const auto i = position(name);
    return i == entries_.size() ? empty : entries_[i].second;
}

bool NameValueMap::contains(const std::string &name) const
{
    return position(name) != entries_.size();
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
    const auto i = position(name);
    if (i != entries_.size()) {
        entries_[i].second = std::move(value);
        return;
    }
    entries_.emplace_back(name, std::move(value));
    if (!index_.empty())
        index_.emplace(name, i);
    else if (entries_.size() > kScanLimit)
        rebuildIndex();
}

bool NameValueMap::remove(const std::string &name)
{
    const auto i = position(name);
    if (i == entries_.size())
        return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    if (!index_.empty())
        rebuildIndex();
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
