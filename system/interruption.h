#pragma once

// A stop asked for from outside, by a signal handler say: long work looks at it and ends early.
// Safe to call from a signal handler.

#include <atomic>

namespace hexjpg {

void requestInterruption() noexcept;
bool interruptionRequested() noexcept;
// The request has been heard and answered (a receiving run ends its reading by it, and then
// finishes its work); a further request interrupts that work.
void clearInterruption() noexcept;

// The test that all long work makes (the forgiving reader, the picture finder, the decoder):
// whether a stop was asked for from outside, or by the work's own cancel flag.
inline bool stopRequested(const std::atomic<bool> *cancel) noexcept
{
    return interruptionRequested() || (cancel && cancel->load(std::memory_order_relaxed));
}

} // namespace hexjpg
