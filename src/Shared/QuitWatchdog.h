#pragma once

// Bounds the end of the program. Once the event loop has returned, the program still joins its
// workers (conversions, loaders, store lookups) and runs static destructors; any of them could
// wait on something that never ends. arm() starts a detached timer thread that, when the process
// is still there after `milliseconds`, writes one line to standard error and ends the process
// with `exitStatus` at once (_exit). A process that ends in time never hears from it.
//
// Thread: any; arm once, after the event loop has returned.
namespace QuitWatchdog {

constexpr int kDefaultQuitMs = 10000;

void arm(int exitStatus, int milliseconds = kDefaultQuitMs);

} // namespace QuitWatchdog
