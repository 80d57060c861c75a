#include "interruption.h"

#include <csignal>

namespace hexjpg {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

} // namespace

void requestInterruption() noexcept
{
    g_interrupted = 1;
}

bool interruptionRequested() noexcept
{
    return g_interrupted != 0;
}

void clearInterruption() noexcept
{
    g_interrupted = 0;
}

} // namespace hexjpg
