#include "zarn/Object.h"

namespace ardix::zarn {

namespace {
const ObjectData &emptyData()
{
    static const ObjectData empty;
    return empty;
}
} // namespace

Object::Object(ObjectData data)
    : d_(std::make_shared<const ObjectData>(std::move(data)))
{}

const ObjectData &Object::data() const
{
    return d_ ? *d_ : emptyData();
}
std::int64_t Object::id() const
{
    return data().id;
}
const std::string &Object::name() const
{
    return data().name;
}
int Object::type() const
{
    return data().type;
}
const std::string &Object::className() const
{
    return data().className;
}
std::int64_t Object::parent() const
{
    return data().parent;
}
const std::vector<std::int64_t> &Object::children() const
{
    return data().children;
}
const NameValueMap &Object::settings() const
{
    return data().settings;
}

ObjectView::ObjectView(std::shared_ptr<const ObjectData> d, ObjectType wanted)
{
    if (d && d->type == static_cast<int>(wanted))
        d_ = std::move(d);
}

const std::string &ObjectView::name() const
{
    return d_ ? d_->name : emptyData().name;
}

const std::string &ObjectView::serialNumber() const
{
    return d_ ? d_->serialNumber : emptyData().serialNumber;
}

} // namespace ardix::zarn
