// Preloaded into a program under test (LD_PRELOAD), stands in for the modem lines that a pty does
// not have: each TIOCMBIS, TIOCMBIC and TIOCMSET call succeeds and appends the levels of DTR and
// RTS after it to the file HEXJPG_MODEM_LOG ("dtr=1 rts=0", a line each); TIOCMGET reports them.
// The lines start raised, as the kernel leaves them when it opens a tty.

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

int g_lines = TIOCM_DTR | TIOCM_RTS;

void record()
{
    const char *path = std::getenv("HEXJPG_MODEM_LOG");
    if (FILE *log = path ? std::fopen(path, "a") : nullptr) {
        std::fprintf(log, "dtr=%d rts=%d\n", (g_lines & TIOCM_DTR) != 0,
                     (g_lines & TIOCM_RTS) != 0);
        std::fclose(log);
    }
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    auto *lines = static_cast<int *>(argument);
    switch (request) {
    case TIOCMBIS:
        g_lines |= *lines;
        record();
        return 0;
    case TIOCMBIC:
        g_lines &= ~*lines;
        record();
        return 0;
    case TIOCMSET:
        g_lines = *lines;
        record();
        return 0;
    case TIOCMGET:
        *lines = g_lines;
        return 0;
    default:
        static auto next =
            reinterpret_cast<int (*)(int, unsigned long, ...)>(dlsym(RTLD_NEXT, "ioctl"));
        return next(fd, request, argument);
    }
}
