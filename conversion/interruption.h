#pragma once

// A stop asked for from outside, by a signal handler say: long work looks at it and ends early.
// Safe to call from a signal handler.

namespace hexjpg {

void requestInterruption() noexcept;
bool interruptionRequested() noexcept;
// The request has been heard and answered (a receiving run ends its reading by it, and then
// finishes its work); a further request interrupts that work.
void clearInterruption() noexcept;

} // namespace hexjpg
