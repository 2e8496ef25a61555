#pragma once

#include <QString>

// What a typed note becomes before it is kept: one line of plain text (line breaks and other
// control characters made spaces, surrounding blanks dropped; markup is kept as the characters
// typed, never interpreted), at most kMaxLength characters.
class BookmarkNote
{
public:
    static constexpr int kMaxLength = 500;

    // `cut` (if given) says whether the note was longer than kMaxLength.
    static QString clean(const QString &typed, bool *cut = nullptr);
};
