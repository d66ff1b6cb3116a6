#include <windows.h>

#include "platform/clock.h"

namespace platform {

namespace {
class Win32Clock final : public Clock {
public:
    LocalTime Now() override {
        SYSTEMTIME st{};
        ::GetLocalTime(&st);
        return LocalTime{st.wYear, st.wMonth,  st.wDay,    st.wDayOfWeek,
                         st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    }
    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }
};
} // namespace

Clock& SystemClock() {
    static Win32Clock clock;
    return clock;
}

} // namespace platform
