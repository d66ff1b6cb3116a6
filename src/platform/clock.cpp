#include "platform/clock.h"

namespace platform {

namespace {
Clock* g_clock = nullptr;
}

Clock& CurrentClock() {
    return g_clock ? *g_clock : SystemClock();
}

void SetClock(Clock* clock) {
    g_clock = clock;
}

} // namespace platform
