#include "UrlTemplate.h"

#include <QDebug>
#include <QRegularExpression>

namespace {

// Both patterns are compiled once for the process: the url role of every video cell runs the
// searches on every read.
QRegularExpression compiled(const QString &pattern)
{
    QRegularExpression re(pattern);
    re.optimize();
    return re;
}

const QRegularExpression &variablePattern()
{
    static const QRegularExpression re = compiled(QStringLiteral("\\{([a-zA-Z0-9_]+?)\\}"));
    return re;
}

// The inner text of a section stops at a line break, as "." does in an ECMAScript pattern;
// the class is spelt out so that the result does not depend on how PCRE was built.
const QRegularExpression &sectionPattern()
{
    static const QRegularExpression re = compiled(QStringLiteral("\\[\\[([^\\r\\n]+?)\\]\\]"));
    return re;
}

// No value contains a brace, so every replacement removes one reference for good and the
// restart-from-the-start loops end.
bool variableValue(const QString &name, QString *value)
{
    if (name == QLatin1String("EQU")) {
        *value = QStringLiteral("=");
        return true;
    }
    if (name == QLatin1String("SMC")) {
        *value = QStringLiteral(";");
        return true;
    }
    return false;
}

} // namespace

QString UrlTemplate::expand(const QString &text)
{
    QString result = text;
    expandSections(result);
    expandVariables(result);
    return result;
}

int UrlTemplate::expandVariables(QString &text)
{
    int count = 0;
    for (;;) {
        const QRegularExpressionMatch match = variablePattern().match(text);
        if (!match.hasMatch())
            return count;
        const QString name = match.captured(1);
        QString value;
        if (variableValue(name, &value))
            ++count;
        else
            qWarning() << "Unkow variable '" << name << "'!";
        text.replace(match.capturedStart(0), match.capturedLength(0), value);
    }
}

void UrlTemplate::expandSections(QString &text)
{
    for (;;) {
        const QRegularExpressionMatch match = sectionPattern().match(text);
        if (!match.hasMatch())
            return;
        QString inner = match.captured(1);
        if (expandVariables(inner) == 0)
            inner.clear();
        text.replace(match.capturedStart(0), match.capturedLength(0), inner);
    }
}
