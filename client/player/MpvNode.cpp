#include "MpvNode.h"

MpvNode::MpvNode(const QVariant &value)
    : m_root{}
{
    fill(m_root, value);
}

void MpvNode::fill(mpv_node &node, const QVariant &value)
{
    node = {};
    node.format = MPV_FORMAT_NONE;
    switch (value.userType()) {
    case QMetaType::QString:
        node.format = MPV_FORMAT_STRING;
        node.u.string = keep(value.toString());
        return;
    case QMetaType::Bool:
        node.format = MPV_FORMAT_FLAG;
        node.u.flag = value.toBool() ? 1 : 0;
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        node.format = MPV_FORMAT_INT64;
        node.u.int64 = value.toLongLong();
        return;
    case QMetaType::Double:
        node.format = MPV_FORMAT_DOUBLE;
        node.u.double_ = value.toDouble();
        return;
    default:
        break;
    }
    if (value.canConvert<QVariantList>())
        fillList(node, value.toList());
    else if (value.canConvert<QVariantMap>())
        fillMap(node, value.toMap());
}

void MpvNode::fillList(mpv_node &node, const QVariantList &values)
{
    auto &items = m_values.emplace_back(static_cast<size_t>(values.size()));
    for (int i = 0; i < values.size(); ++i)
        fill(items[static_cast<size_t>(i)], values.at(i));
    mpv_node_list &list = m_lists.emplace_back();
    list.num = values.size();
    list.values = items.data();
    list.keys = nullptr;
    node.format = MPV_FORMAT_NODE_ARRAY;
    node.u.list = &list;
}

void MpvNode::fillMap(mpv_node &node, const QVariantMap &values)
{
    auto &items = m_values.emplace_back(static_cast<size_t>(values.size()));
    auto &keys = m_keys.emplace_back();
    size_t i = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it, ++i) {
        keys.push_back(keep(it.key()));
        fill(items[i], it.value());
    }
    mpv_node_list &list = m_lists.emplace_back();
    list.num = values.size();
    list.values = items.data();
    list.keys = keys.data();
    node.format = MPV_FORMAT_NODE_MAP;
    node.u.list = &list;
}

char *MpvNode::keep(const QString &text)
{
    return m_strings.emplace_back(text.toUtf8()).data();
}

QVariant MpvNode::toVariant(const mpv_node &node)
{
    switch (node.format) {
    case MPV_FORMAT_STRING:
        return QString::fromUtf8(node.u.string);
    case MPV_FORMAT_FLAG:
        return node.u.flag != 0;
    case MPV_FORMAT_INT64:
        return QVariant::fromValue<qlonglong>(node.u.int64);
    case MPV_FORMAT_DOUBLE:
        return node.u.double_;
    case MPV_FORMAT_NODE_ARRAY: {
        QVariantList list;
        for (int i = 0; i < node.u.list->num; ++i)
            list.append(toVariant(node.u.list->values[i]));
        return list;
    }
    case MPV_FORMAT_NODE_MAP: {
        QVariantMap map;
        for (int i = 0; i < node.u.list->num; ++i)
            map.insert(QString::fromUtf8(node.u.list->keys[i]), toVariant(node.u.list->values[i]));
        return map;
    }
    default:
        return {};
    }
}
