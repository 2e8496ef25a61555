#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

// Small pieces every benchmark program needs.
namespace bench {

// Runs the event loop for a while, so that queued work (players, sockets) goes on.
void spin(int ms);
// Runs the event loop until done() holds; false after timeoutMs.
bool spinUntil(const std::function<bool()> &done, int timeoutMs);

// CPU time (user + system) of this process, and of another one read from /proc.
double ownCpuSeconds();
double processCpuSeconds(qint64 pid);
// Resident memory of this process.
long residentKiB();
// Memory the allocator has handed out and not got back: unlike the resident size, it does
// not count what freed blocks leave behind in the allocator's arenas.
long heapInUseKiB();
// Threads of this process.
long threadCount();

// The median of a list of measurements; 0 for none.
double median(std::vector<double> values);

} // namespace bench
