#pragma once

// A stop asked for from outside, by a signal handler say: long work looks at it and ends early.
// Safe to call from a signal handler.

namespace hexjpg {

void requestInterruption() noexcept;
bool interruptionRequested() noexcept;

} // namespace hexjpg
