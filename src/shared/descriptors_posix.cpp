#include <sys/resource.h>
#include <algorithm>

#include "shared/descriptors.h"

namespace tallyrook {

int DescriptorShare(int of, int least, int most) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return most;
    return int(std::clamp<rlim_t>(limit.rlim_cur / rlim_t(of), rlim_t(least), rlim_t(most)));
}

void RaiseDescriptorLimit(int wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= rlim_t(wanted))
        return;
    limit.rlim_cur =
        limit.rlim_max == RLIM_INFINITY ? rlim_t(wanted) : std::min(limit.rlim_max, rlim_t(wanted));
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace tallyrook
