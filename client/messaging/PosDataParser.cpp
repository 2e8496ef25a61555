#include "PosDataParser.h"

#include <QLocale>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>

namespace {

using Json = nlohmann::json;

struct Scalar
{
    enum Kind { Null, Bool, Number, Text } kind = Null;
    double number = 0;
    bool flag = false;
    std::string *text = nullptr;
};

// The parser's events for one answer. Only the values the page reads are looked at: the top
// object's "from", "to" and "arr", and the "time" and "text" of the objects in "arr"; nesting
// elsewhere is only counted, so a deep or huge value costs no memory here.
class PosDataEvents
{
public:
    PosDataEvents(PosDataParser::Result &result, const PosDataParser::Limits &limits)
        : m_result(result)
        , m_limits(limits)
    {}

    QString error() const { return m_error; }

    bool null() { return scalar(Scalar{}); }
    bool boolean(bool value) { return scalar(Scalar{Scalar::Bool, 0, value, nullptr}); }
    bool number_integer(std::int64_t value) { return number(double(value)); }
    bool number_unsigned(std::uint64_t value) { return number(double(value)); }
    bool number_float(double value, const std::string &) { return number(value); }
    bool string(std::string &value) { return scalar(Scalar{Scalar::Text, 0, false, &value}); }
    bool binary(Json::binary_t &) { return true; }
    bool start_object(std::size_t) { return open(false); }
    bool start_array(std::size_t) { return open(true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(std::string &name)
    {
        if (m_depth == 1)
            m_topKey = name;
        else if (m_depth == 3 && m_inItem)
            m_itemKey = name;
        return true;
    }
    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &error)
    {
        m_error = QString::fromUtf8(error.what());
        return false;
    }

private:
    enum class Place { Elsewhere, TopField, ArrElement, ItemField };

    // Where a value that starts now sits.
    Place place() const
    {
        if (m_depth == 1 && m_topIsObject)
            return Place::TopField;
        if (m_depth == 2 && m_arrOpen)
            return Place::ArrElement;
        if (m_depth == 3 && m_inItem)
            return Place::ItemField;
        return Place::Elsewhere;
    }

    bool number(double value) { return scalar(Scalar{Scalar::Number, value, false, nullptr}); }

    bool scalar(const Scalar &value)
    {
        switch (place()) {
        case Place::TopField:
            topField(&value, false);
            break;
        case Place::ArrElement:
            // a number or a text where an object should be: it has no time
            ++m_result.withoutTime;
            break;
        case Place::ItemField:
            itemField(&value);
            break;
        case Place::Elsewhere:
            break;
        }
        return true;
    }

    bool open(bool array)
    {
        const Place at = place();
        if (m_depth == 0)
            m_topIsObject = !array;
        else if (at == Place::TopField)
            topField(nullptr, array);
        else if (at == Place::ArrElement && array)
            ++m_result.withoutTime;
        else if (at == Place::ArrElement)
            startItem();
        else if (at == Place::ItemField)
            itemField(nullptr);
        ++m_depth;
        return true;
    }

    bool close()
    {
        --m_depth;
        if (m_depth == 2 && m_inItem)
            finishItem();
        else if (m_depth == 1)
            m_arrOpen = false;
        return true;
    }

    // `value` is null for an object or an array.
    void topField(const Scalar *value, bool array)
    {
        if (m_topKey == "from") {
            m_result.hasFrom = true;
            m_result.from = fromValue(value);
        } else if (m_topKey == "to") {
            m_result.hasTo = true;
        } else if (m_topKey == "cut") {
            m_result.gatewayCut = value && value->kind == Scalar::Bool && value->flag;
        } else if (m_topKey == "next") {
            m_result.next = value && value->kind == Scalar::Number
                                ? value->number
                                : std::numeric_limits<double>::quiet_NaN();
        } else if (m_topKey == "arr") {
            // A repeated key replaces the earlier value, as JSON.parse in the page did.
            m_result.hasArr = true;
            m_result.times.clear();
            m_result.texts.clear();
            m_result.withoutTime = m_result.withoutText = 0;
            m_result.beyondLimit = m_result.shortened = 0;
            m_arrOpen = !value && array;
        }
    }

    static QVariant fromValue(const Scalar *value)
    {
        if (value && value->kind == Scalar::Number)
            return value->number;
        if (value && value->kind == Scalar::Text)
            return QString::fromStdString(*value->text);
        return std::numeric_limits<double>::quiet_NaN();
    }

    void startItem()
    {
        m_inItem = true;
        m_hasTime = m_hasText = m_itemShortened = false;
        m_itemKey.clear();
        m_itemText.clear();
    }

    void itemField(const Scalar *value)
    {
        if (m_itemKey == "time")
            m_hasTime = value && timeOf(*value);
        else if (m_itemKey == "text")
            m_hasText = value && textOf(*value);
    }

    bool timeOf(const Scalar &value)
    {
        bool ok = value.kind == Scalar::Number;
        m_time = value.number;
        if (value.kind == Scalar::Text)
            m_time = QString::fromStdString(*value.text).trimmed().toDouble(&ok);
        return ok && std::isfinite(m_time);
    }

    bool textOf(const Scalar &value)
    {
        m_itemShortened = false;
        // Beyond the limit the text is only counted: converting it would be wasted.
        if (m_result.times.size() >= m_limits.maxEntries)
            return value.kind != Scalar::Null;
        switch (value.kind) {
        case Scalar::Text:
            m_itemText = PosDataParser::shorten(*value.text, m_limits, &m_itemShortened);
            return true;
        case Scalar::Number:
            m_itemText = QString::number(value.number, 'g', QLocale::FloatingPointShortest);
            return true;
        case Scalar::Bool:
            m_itemText = value.flag ? QStringLiteral("true") : QStringLiteral("false");
            return true;
        case Scalar::Null:
            break;
        }
        return false;
    }

    void finishItem()
    {
        m_inItem = false;
        if (!m_hasTime) {
            ++m_result.withoutTime;
        } else if (!m_hasText) {
            ++m_result.withoutText;
        } else if (m_result.times.size() >= m_limits.maxEntries) {
            ++m_result.beyondLimit;
        } else {
            m_result.times.append(m_time);
            m_result.texts.append(m_itemText);
            m_result.shortened += m_itemShortened ? 1 : 0;
        }
    }

    PosDataParser::Result &m_result;
    const PosDataParser::Limits &m_limits;
    QString m_error;
    int m_depth = 0;
    bool m_topIsObject = false;
    bool m_arrOpen = false;
    bool m_inItem = false;
    std::string m_topKey;
    std::string m_itemKey;
    bool m_hasTime = false;
    bool m_hasText = false;
    bool m_itemShortened = false;
    double m_time = 0;
    QString m_itemText;
};

} // namespace

PosDataParser::Result PosDataParser::parse(const QByteArray &body, bool cut, const Limits &limits)
{
    Result result;
    PosDataEvents events(result, limits);
    const char *begin = body.constData();
    if (Json::sax_parse(begin, begin + body.size(), &events) || cut)
        return result;
    Result failed;
    failed.error = events.error();
    return failed;
}

QString PosDataParser::shorten(const std::string &utf8, const Limits &limits, bool *shortened)
{
    // The line break that ends a text starts no line of its own.
    std::size_t size = utf8.size();
    const std::size_t lastLineEnd = size > 0 && utf8[size - 1] == '\n' ? size - 1 : size;
    std::size_t from = 0;
    std::size_t searchEnd = lastLineEnd;
    for (int found = 0; found < limits.maxLines && searchEnd > 0; ++found) {
        const std::size_t newline = utf8.rfind('\n', searchEnd - 1);
        if (newline == std::string::npos)
            break;
        if (found == limits.maxLines - 1)
            from = newline + 1;
        searchEnd = newline;
    }
    if (from > 0)
        size = lastLineEnd;
    // maxChars characters take at most 4 bytes each: only that much is converted, starting
    // on a character's first byte.
    from = std::max(from, size - std::min(size, std::size_t(limits.maxChars) * 4));
    while (from < size && (static_cast<unsigned char>(utf8[from]) & 0xC0) == 0x80)
        ++from;
    *shortened = from > 0;
    QString text = QString::fromUtf8(utf8.data() + from, int(size - from));
    if (text.size() > limits.maxChars) {
        text.remove(0, text.size() - limits.maxChars);
        if (text.at(0).isLowSurrogate())
            text.remove(0, 1);
        *shortened = true;
    }
    return text;
}
