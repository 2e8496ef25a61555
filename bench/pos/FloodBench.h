#pragma once

#include <QStringList>

// A flood of channel texts into the console's overlays: see FloodBench.cpp.
int runFloodBench(const QStringList &args);
