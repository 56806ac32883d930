// Preloaded into tallyrook-cli by the tests (LD_PRELOAD): every folder it opens takes
// TALLYROOK_SLOW_FOLDER_MS milliseconds, so that a test can act while a run is surely under way.
// The command itself carries no such hook.
#include <dlfcn.h>
#include <fcntl.h>
#include <cstdarg>
#include <cstdlib>
#include <ctime>

namespace {

void Pause(int flags) {
    if (!(flags & O_DIRECTORY))
        return;
    static const long ms = [] {
        const char* value = std::getenv("TALLYROOK_SLOW_FOLDER_MS");
        return value ? std::atol(value) : 0L;
    }();
    const timespec pause{ms / 1000, ms % 1000 * 1'000'000};
    nanosleep(&pause, nullptr);
}

mode_t ModeOf(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, int)) : 0;
}

template <typename Real>
Real Next(const char* name) {
    return reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

#define TALLYROOK_SLOW_OPEN(name)                                             \
    int name(const char* path, int flags, ...) {                              \
        va_list args;                                                         \
        va_start(args, flags);                                                \
        const mode_t mode = ModeOf(flags, args);                              \
        va_end(args);                                                         \
        Pause(flags);                                                         \
        static const auto real = Next<int (*)(const char*, int, ...)>(#name); \
        return real(path, flags, mode);                                       \
    }
#define TALLYROOK_SLOW_OPENAT(name)                                                \
    int name(int folder, const char* path, int flags, ...) {                       \
        va_list args;                                                              \
        va_start(args, flags);                                                     \
        const mode_t mode = ModeOf(flags, args);                                   \
        va_end(args);                                                              \
        Pause(flags);                                                              \
        static const auto real = Next<int (*)(int, const char*, int, ...)>(#name); \
        return real(folder, path, flags, mode);                                    \
    }

TALLYROOK_SLOW_OPEN(open)
TALLYROOK_SLOW_OPEN(open64)
TALLYROOK_SLOW_OPENAT(openat)
TALLYROOK_SLOW_OPENAT(openat64)
}
