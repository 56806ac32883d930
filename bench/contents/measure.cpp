// tallyrook-measure: runs a command and says what it cost, the same way for every program compared.
//
//   tallyrook-measure COMMAND [ARG]...
//
// After the command ends, one line on stderr:
//   wall_ms user_ms sys_ms: its times;
//   max_rss_kb: its peak resident memory, as the kernel counts it (shared libraries included);
//   peak_anon_kb: the most anonymous memory (heap, stacks) it held, sampled every 5 ms: its own
//     memory, without the shared libraries' pages, which a program linking Qt carries anyway;
//   rchar: the bytes its read calls returned; read_bytes: the bytes it made the system fetch from
//     the disk (its /proc io counters, read before it is reaped);
//   status: its exit status.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

namespace {

long Field(const std::string& file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size(), name) == 0)
            return std::stol(line.substr(name.size()));
    }
    return -1;
}

double NowMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tallyrook-measure COMMAND [ARG]...\n");
        return 2;
    }
    const double start = NowMs();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[1], argv + 1);
        std::perror(argv[1]);
        ::_exit(127);
    }
    if (child < 0) {
        std::perror("fork");
        return 2;
    }
    const std::string proc = "/proc/" + std::to_string(child);
    long peakAnon = 0;
    for (;;) {
        siginfo_t info{};
        if (::waitid(P_PID, id_t(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == child)
            break;
        peakAnon = std::max(peakAnon, Field(proc + "/status", "RssAnon:"));
        ::usleep(5000);
    }
    const double wall = NowMs() - start;
    const long rchar = Field(proc + "/io", "rchar:");
    const long readBytes = Field(proc + "/io", "read_bytes:");
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    std::fprintf(stderr,
                 "wall_ms %.1f user_ms %.1f sys_ms %.1f max_rss_kb %ld peak_anon_kb %ld rchar %ld "
                 "read_bytes %ld status %d\n",
                 wall, ms(usage.ru_utime), ms(usage.ru_stime), usage.ru_maxrss, peakAnon, rchar,
                 readBytes, WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
