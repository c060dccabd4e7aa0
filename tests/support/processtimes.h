// Processor time of a process and everything it started, read from /proc: the whole
// cost a program puts on the machine, split by who spends it.
#pragma once

#include <QtGlobal>

namespace velmora::testing {

// Seconds of processor time (user and system) used so far.
struct ProcessTreeTimes {
    double guiThread = 0;    // the root process's main thread
    double compositor = 0;   // the root's threads that compose the window (software OpenGL, scene graph, viz)
    double otherThreads = 0; // the root's remaining threads (the web engine's own, audio, I/O)
    double children = 0;     // every process below the root (the web engine's renderer, GPU, zygote)
    double total() const { return guiThread + compositor + otherThreads + children; }
    ProcessTreeTimes operator-(const ProcessTreeTimes &before) const;
};

ProcessTreeTimes processTreeTimes(qint64 root);

} // namespace velmora::testing
