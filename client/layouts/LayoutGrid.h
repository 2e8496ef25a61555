#pragma once

#include "LayoutCell.h"

#include <QVector>

// A layout document read and checked, before it replaces what the console shows.
struct LayoutGrid
{
    int numRows = 0;
    int numCols = 0;
    QVector<LayoutCell> cells;
};
