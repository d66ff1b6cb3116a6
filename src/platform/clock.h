#pragma once
// Local time and blocking waits. Both go through a replaceable clock so the headless form
// backend can run the whole show in virtual time.

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;     // 1..12
    int day = 0;       // 1..31
    int dayOfWeek = 0; // 0 = Sunday
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
    // Blocks the calling (GUI) thread; nothing is dispatched meanwhile.
    virtual void Sleep(unsigned milliseconds) = 0;
};

// The operating system's clock.
Clock& SystemClock();

// The clock in use: the system's unless another was installed (nullptr restores it).
Clock& CurrentClock();
void SetClock(Clock* clock);

inline LocalTime GetLocalTime() {
    return CurrentClock().Now();
}
inline void Sleep(unsigned milliseconds) {
    CurrentClock().Sleep(milliseconds);
}

} // namespace platform
