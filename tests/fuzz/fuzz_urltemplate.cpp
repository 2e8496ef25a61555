// libFuzzer target: any text through the address template expander. Beyond not crashing or
// hanging, the result must be no longer than the template, free of variable references and the
// same as a plain scan over the text computes. The expander searches with Qt's regular
// expressions, which carry no coverage instrumentation; the scan below is instrumented, so its
// branches (a section opened, closed, cut by a line break; a name read, known or not) are what
// guides the fuzzer through the template language.
#include "UrlTemplate.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>

namespace {

void discard(QtMsgType, const QMessageLogContext &, const QString &) {}

bool isNameChar(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_';
}

// The first "{name}" of text: its position (or -1) and length.
int findVariable(const QString &text, int *length)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('{'))
            continue;
        int end = i + 1;
        while (end < text.size() && isNameChar(text[end]))
            ++end;
        if (end > i + 1 && end < text.size() && text[end] == QLatin1Char('}')) {
            *length = end + 1 - i;
            return i;
        }
    }
    return -1;
}

// The first "[[inner]]" of text with a non-empty inner part free of line breaks, closed by the
// first "]]" after its opening: its position (or -1) and length.
int findSection(const QString &text, int *length)
{
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('[') || text[i + 1] != QLatin1Char('['))
            continue;
        for (int close = i + 3; close + 1 < text.size(); ++close) {
            const QChar last = text[close - 1]; // the inner part is text[i + 2, close)
            if (last == QLatin1Char('\r') || last == QLatin1Char('\n'))
                break;
            if (text[close] == QLatin1Char(']') && text[close + 1] == QLatin1Char(']')) {
                *length = close + 2 - i;
                return i;
            }
        }
    }
    return -1;
}

int scanVariables(QString &text)
{
    int known = 0;
    int length = 0;
    for (int at = findVariable(text, &length); at >= 0; at = findVariable(text, &length)) {
        const QString name = text.mid(at + 1, length - 2);
        QString value;
        if (name == QLatin1String("EQU"))
            value = QStringLiteral("=");
        else if (name == QLatin1String("SMC"))
            value = QStringLiteral(";");
        if (!value.isEmpty())
            ++known;
        text.replace(at, length, value);
    }
    return known;
}

QString scanExpand(QString text)
{
    int length = 0;
    for (int at = findSection(text, &length); at >= 0; at = findSection(text, &length)) {
        QString inner = text.mid(at + 2, length - 4);
        if (scanVariables(inner) == 0)
            inner.clear();
        text.replace(at, length, inner);
    }
    scanVariables(text);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(discard);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QRegularExpression reference(QStringLiteral("\\{[a-zA-Z0-9_]+\\}"));
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QString result = UrlTemplate::expand(text);
    if (result.size() > text.size() || result.contains(reference) || result != scanExpand(text))
        __builtin_trap();
    return 0;
}
