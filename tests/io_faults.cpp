// Preloaded into a program under test (LD_PRELOAD), makes the faults that otherwise depend on
// timing or on the file system happen at a chosen byte:
//
//   HEXJPG_FAULT_PATH=P HEXJPG_FAULT_AFTER=N HEXJPG_FAULT=truncate|eio
//       once N bytes of P have been read, P is truncated to nothing (as another program would),
//       or reading it fails with EIO
//   HEXJPG_NO_TMPFILE=1      opening with O_TMPFILE fails, as on file systems without it
//   HEXJPG_TERM_AFTER_WRITE=N  once N bytes have gone to files, the program gets SIGTERM

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/types.h>

namespace {

long long envNumber(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::atoll(value) : -1;
}

template <typename F> F next(const char *name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

bool isFaultPath(int fd)
{
    const char *path = std::getenv("HEXJPG_FAULT_PATH");
    if (!path)
        return false;
    char link[64], target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return false;
    target[n] = 0;
    return std::strcmp(target, path) == 0;
}

long long g_read = 0, g_written = 0;
bool g_faulted = false, g_signalled = false;

bool refuseTmpfile(int flags)
{
#ifdef O_TMPFILE
    if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("HEXJPG_NO_TMPFILE")) {
        errno = EOPNOTSUPP;
        return true;
    }
#endif
    return false;
}

} // namespace

extern "C" {

ssize_t read(int fd, void *buffer, size_t count)
{
    static auto real = next<ssize_t (*)(int, void *, size_t)>("read");
    const long long after = envNumber("HEXJPG_FAULT_AFTER");
    if (after >= 0 && isFaultPath(fd)) {
        const char *fault = std::getenv("HEXJPG_FAULT");
        if (g_read >= after && fault && std::strcmp(fault, "eio") == 0) {
            errno = EIO;
            return -1;
        }
        if (g_read >= after && !g_faulted) {
            g_faulted = true;
            [[maybe_unused]] const int ignored = truncate(std::getenv("HEXJPG_FAULT_PATH"), 0);
        }
        if (g_read < after && (long long)count > after - g_read)
            count = size_t(after - g_read);
        const ssize_t got = real(fd, buffer, count);
        if (got > 0)
            g_read += got;
        return got;
    }
    return real(fd, buffer, count);
}

ssize_t write(int fd, const void *buffer, size_t count)
{
    static auto real = next<ssize_t (*)(int, const void *, size_t)>("write");
    const ssize_t done = real(fd, buffer, count);
    const long long after = envNumber("HEXJPG_TERM_AFTER_WRITE");
    if (fd > 2 && done > 0 && after >= 0 && !g_signalled && (g_written += done) >= after) {
        g_signalled = true;
        raise(SIGTERM);
    }
    return done;
}

#define HEXJPG_OPEN(name, ...)                                                                     \
    {                                                                                              \
        mode_t mode = 0;                                                                           \
        if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {                               \
            va_list args;                                                                          \
            va_start(args, flags);                                                                 \
            mode = va_arg(args, mode_t);                                                           \
            va_end(args);                                                                          \
        }                                                                                          \
        if (refuseTmpfile(flags))                                                                  \
            return -1;                                                                             \
        static auto real = next<decltype(&name)>(#name);                                           \
        return real(__VA_ARGS__, flags, mode);                                                     \
    }

int open(const char *path, int flags, ...)
    HEXJPG_OPEN(open, path) int open64(const char *path, int flags, ...)
        HEXJPG_OPEN(open64, path) int openat(int dir, const char *path, int flags, ...)
            HEXJPG_OPEN(openat, dir, path) int openat64(int dir, const char *path, int flags, ...)
                HEXJPG_OPEN(openat64, dir, path)
}
