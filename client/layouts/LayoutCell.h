#pragma once

#include <QString>

// One cell of a loaded layout document. The four placement values are taken as given: the
// grid does not check them against its size or against each other.
struct LayoutCell
{
    int row = 0;
    int col = 0;
    int rowSpan = 0;
    int colSpan = 0;
    QString label;
    int type = 0; // LayoutModel::CellType
    QString deviceId;
    QString objectId;
    // Never read from the document: a door cell gets it from the door actuator whose "layout"
    // setting matches its sensor's.
    QString actuatorId;
};
