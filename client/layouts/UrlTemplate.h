#pragma once

#include <QString>

// The small template language of video addresses: "{NAME}" is replaced by a variable's value
// (EQU gives "=", SMC gives ";"), and "[[...]]" is an optional part, kept without its brackets
// only when it substitutes at least one known variable. The server's "url" settings use it so
// that an address can carry characters that the server's own setting syntax would not accept.
class UrlTemplate
{
public:
    // Sections first, then the variables left in the whole text.
    static QString expand(const QString &text);

    // Replaces every variable reference of text, searching again from the start after each
    // replacement; returns how many references were known variables. Unknown ones are removed
    // with a warning.
    static int expandVariables(QString &text);

    // Replaces every section of text by its expanded inner text, or by nothing when that
    // substitutes no known variable; searches again from the start after each replacement.
    static void expandSections(QString &text);
};
