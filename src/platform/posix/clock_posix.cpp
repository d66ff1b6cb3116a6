#include <ctime>
#include <sys/time.h>

#include "platform/clock.h"

namespace platform {

namespace {
class PosixClock final : public Clock {
public:
    LocalTime Now() override {
        timeval tv{};
        gettimeofday(&tv, nullptr);
        std::tm tm{};
        localtime_r(&tv.tv_sec, &tm);
        return LocalTime{
            tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_wday,
            tm.tm_hour,        tm.tm_min,     tm.tm_sec,  static_cast<int>(tv.tv_usec / 1000)};
    }
    void Sleep(unsigned milliseconds) override {
        timespec ts{static_cast<time_t>(milliseconds / 1000),
                    static_cast<long>(milliseconds % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }
};
} // namespace

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

} // namespace platform
