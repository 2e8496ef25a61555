#pragma once

#include <mpv/client.h>

#include <QByteArray>
#include <QVariant>

#include <deque>
#include <vector>

// An mpv_node built from a QVariant. The node and everything it points to belong to this
// object and stay valid as long as it lives.
class MpvNode
{
public:
    explicit MpvNode(const QVariant &value);
    MpvNode(const MpvNode &) = delete;
    MpvNode &operator=(const MpvNode &) = delete;

    mpv_node *get() { return &m_root; }

    // The QVariant for a node libmpv gave: strings, flags, integers, doubles, arrays and
    // maps; anything else is an invalid QVariant.
    static QVariant toVariant(const mpv_node &node);

private:
    void fill(mpv_node &node, const QVariant &value);
    void fillList(mpv_node &node, const QVariantList &values);
    void fillMap(mpv_node &node, const QVariantMap &values);
    char *keep(const QString &text);

    mpv_node m_root;
    std::deque<QByteArray> m_strings;
    std::deque<std::vector<mpv_node>> m_values;
    std::deque<std::vector<char *>> m_keys;
    std::deque<mpv_node_list> m_lists;
};
