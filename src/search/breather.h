#pragma once

#include <QtGlobal>

#include "search/search_host.h"

namespace tallyrook {

// Lets the host handle pending events every so many steps of a long loop, so the window stays
// responsive while tables are built. A step is a hash insertion or a similarity test at most.
class Breather {
public:
    explicit Breather(SearchHost& host) : host_(host) {}
    // False once the run must be abandoned: the caller then returns without another host call.
    bool Step(qint64 cost = 1) {
        budget_ -= cost;
        return budget_ > 0 || Now();
    }
    bool Now() {
        budget_ = Interval;
        return host_.ProcessPendingEvents();
    }

private:
    static constexpr qint64 Interval = 4096;
    SearchHost& host_;
    qint64 budget_ = Interval;
};

}  // namespace tallyrook
