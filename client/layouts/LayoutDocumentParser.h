#pragma once

#include <QByteArray>
#include <QJsonDocument>

// Parses a layout document as QJsonDocument::fromJson does, without its one fault on outside
// input: Qt 5.15's parser leaks the earlier value of a key that an object repeats when that
// value is an array or object, so a document sent again and again would grow the console's
// memory. Such documents are rewritten without the repeats first (the last value of a key
// wins, as with Qt); every other document goes to Qt's parser unchanged.
class LayoutDocumentParser
{
public:
    // A null document for text that is not JSON or is nested deeper than Qt accepts.
    static QJsonDocument parse(const QByteArray &utf8);
};
