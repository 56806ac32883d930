// Preloaded into tallyrook-cli by the tests (LD_PRELOAD): every folder it opens takes
// TALLYROOK_SLOW_FOLDER_MS milliseconds, so that a test can act while a run is surely under way.
// The command itself carries no such hook.
#include <dlfcn.h>
#include <fcntl.h>
#include <cstdarg>
#include <cstdlib>
#include <ctime>

namespace {

// The mode a call that may create a file passes after its flags.
#define TALLYROOK_MODE(flags)                                                            \
    va_list args;                                                                        \
    va_start(args, flags);                                                               \
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(args, int)) : 0; \
    va_end(args)

void Pause(int flags) {
    static const char* const value = std::getenv("TALLYROOK_SLOW_FOLDER_MS");
    static const long ms = value ? std::atol(value) : 0;
    const timespec pause{ms / 1000, ms % 1000 * 1'000'000};
    if (flags & O_DIRECTORY)
        nanosleep(&pause, nullptr);
}

}  // namespace

extern "C" int open(const char* path, int flags, ...) {
    TALLYROOK_MODE(flags);
    Pause(flags);
    static const auto real =
        reinterpret_cast<int (*)(const char*, int, ...)>(dlsym(RTLD_NEXT, "open"));
    return real(path, flags, mode);
}

extern "C" int openat(int folder, const char* path, int flags, ...) {
    TALLYROOK_MODE(flags);
    Pause(flags);
    static const auto real =
        reinterpret_cast<int (*)(int, const char*, int, ...)>(dlsym(RTLD_NEXT, "openat"));
    return real(folder, path, flags, mode);
}
