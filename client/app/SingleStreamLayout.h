#pragma once

#include <QString>

class ZarnObject;

// A layout document of one video cell filling the page, for showing one stream alone.
class SingleStreamLayout
{
public:
    // Empty when there is no stream object to show.
    static QString json(const ZarnObject *stream);
};
