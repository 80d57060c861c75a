#include "console.h"

#include "interruption.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace hexjpg::system {

namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void onStopSignal(int signal)
{
    g_signal = signal;
    requestInterruption();
}

} // namespace

void installStopHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a blocked read returns, and sees the request
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    ignoreFileSizeLimit();
}

void ignoreFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

void endByStop()
{
    const int signal = g_signal ? int(g_signal) : SIGTERM;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

bool isTerminal(std::FILE *to)
{
    return ::isatty(::fileno(to)) == 1;
}

void writeText(std::FILE *to, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, std::size_t(utf8.size()), to);
    if (to == stderr || isTerminal(to))
        std::fflush(to);
}

} // namespace hexjpg::system
