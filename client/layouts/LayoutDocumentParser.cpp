#include "LayoutDocumentParser.h"

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

namespace {

// Qt refuses documents nested deeper than this; the rewrite below recurses that deep at most.
constexpr std::size_t kMaxDepth = 1024;

enum class Shape { Invalid, Clean, RepeatedKeys };

// One pass over the text that only checks it: well-formed, not too deep, and whether any
// object repeats a key (compared after unescaping, as Qt compares them).
class ShapeCheck : public nlohmann::json::json_sax_t
{
public:
    bool repeated = false;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t &) override { return true; }
    bool string(string_t &) override { return true; }
    bool binary(binary_t &) override { return true; }
    bool start_object(std::size_t) override
    {
        m_keys.emplace_back();
        return ++m_depth <= kMaxDepth;
    }
    bool key(string_t &name) override
    {
        if (!m_keys.back().insert(name).second)
            repeated = true;
        return true;
    }
    bool end_object() override
    {
        m_keys.pop_back();
        --m_depth;
        return true;
    }
    bool start_array(std::size_t) override { return ++m_depth <= kMaxDepth; }
    bool end_array() override
    {
        --m_depth;
        return true;
    }
    bool parse_error(std::size_t, const std::string &, const nlohmann::json::exception &) override
    {
        return false;
    }

private:
    std::vector<std::set<std::string>> m_keys;
    std::size_t m_depth = 0;
};

Shape shapeOf(const QByteArray &utf8, std::string *rewritten)
{
    const char *begin = utf8.constData();
    const char *end = begin + utf8.size();
    ShapeCheck check;
    if (!nlohmann::json::sax_parse(begin, end, &check))
        return Shape::Invalid;
    if (!check.repeated)
        return Shape::Clean;
    // The library keeps the last value of a repeated key, as Qt does.
    *rewritten = nlohmann::json::parse(begin, end).dump();
    return Shape::RepeatedKeys;
}

} // namespace

QJsonDocument LayoutDocumentParser::parse(const QByteArray &utf8)
{
    std::string rewritten;
    Shape shape = Shape::Invalid;
    try {
        shape = shapeOf(utf8, &rewritten);
    } catch (const std::exception &) {
        shape = Shape::Invalid; // out of memory, or a text the check let through by mistake
    }
    switch (shape) {
    case Shape::Clean:
        return QJsonDocument::fromJson(utf8);
    case Shape::RepeatedKeys:
        return QJsonDocument::fromJson(QByteArray::fromStdString(rewritten));
    case Shape::Invalid:
        break;
    }
    return QJsonDocument();
}
