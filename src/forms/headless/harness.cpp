// The headless backend's testing API: the virtual clock, input, environment, the box script and
// the records. The loop it drives is in loop.cpp.
#include "forms/headless/harness.h"

#include <chrono>

#include "forms/headless/state.h"

namespace forms::headless {

using detail::GetState;

// --- virtual clock ---

class Harness::VirtualClock final : public platform::Clock {
public:
    platform::LocalTime Now() override { return At(GetState().nowMs); }
    void Sleep(unsigned milliseconds) override { GetState().nowMs += milliseconds; }

    platform::LocalTime At(long long ms) const {
        using namespace std::chrono;
        const sys_days date = year{start_.year} / month{static_cast<unsigned>(start_.month)} /
                              day{static_cast<unsigned>(start_.day)};
        const sys_time<milliseconds> t = date + hours{start_.hour} + minutes{start_.minute} +
                                         seconds{start_.second} +
                                         milliseconds{start_.milliseconds} + milliseconds{ms};
        const sys_days d = floor<days>(t);
        const year_month_day ymd{d};
        const hh_mm_ss hms{t - d};
        platform::LocalTime out;
        out.year = static_cast<int>(ymd.year());
        out.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
        out.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
        out.dayOfWeek = static_cast<int>(weekday{d}.c_encoding());
        out.hour = static_cast<int>(hms.hours().count());
        out.minute = static_cast<int>(hms.minutes().count());
        out.second = static_cast<int>(hms.seconds().count());
        out.milliseconds = static_cast<int>(hms.subseconds().count());
        return out;
    }

    platform::LocalTime start_{2024, 5, 1, 3, 10, 0, 0, 0};
};

Harness::Harness() : clock_(std::make_unique<VirtualClock>()) {
    detail::ResetState();
    platform::SetClock(clock_.get());
}

Harness::~Harness() {
    platform::SetClock(nullptr);
    detail::ResetState();
}

long long Harness::NowMs() const {
    return GetState().nowMs;
}

void Harness::SetStartTime(const platform::LocalTime& time) {
    clock_->start_ = time;
}

platform::LocalTime Harness::LocalTimeAt(long long ms) const {
    return clock_->At(ms);
}

void Harness::RunFor(long long ms) {
    detail::Pump(GetState().nowMs + ms, true);
}

bool Harness::RunUntilTerminated(long long limitMs) {
    detail::RunTopLevel(GetState().nowMs + limitMs);
    return Application && Application->Terminated();
}

void Harness::SetLoopLimit(long long ms) {
    GetState().loopLimitMs = ms;
}

void Harness::At(long long ms, std::function<void()> action) {
    auto& state = GetState();
    state.actions.push_back(detail::ScheduledAction{ms, state.sequence++, std::move(action)});
}

void Harness::Click(TButton& button) {
    detail::DispatchHandler([&button] { button.Click(); });
}

void Harness::MouseUp(TProgressBar& bar, TMouseButton button, TShiftState shift, int x, int y) {
    detail::DispatchHandler([&] { bar.MouseUp(button, shift, x, y); });
}

bool Harness::RequestClose(TForm& form) {
    bool closed = false;
    detail::DispatchHandler([&] { closed = form.Close(); });
    return closed;
}

bool Harness::QueryEndSession() {
    bool allowed = true;
    if (Application && Application->MainForm())
        detail::DispatchHandler([&] { allowed = Application->MainForm()->CloseQuery(); });
    return allowed;
}

void Harness::RestoreApplication() {
    if (Application && Application->MainForm())
        detail::DispatchHandler([] { Application->MainForm()->RestoredFromPending(); });
}

void Harness::AnnounceSettingChange() {
    if (Application)
        Application->SettingChange();
}

void Harness::AnnounceDisplayChange() {
    for (TForm* form : std::vector<TForm*>(GetState().forms))
        detail::DispatchHandler([form] { form->DisplayChanged(); });
}

void Harness::SetStartupShowCommand(int command) {
    GetState().startupShowCommand = command;
}

void Harness::SetScreenSize(int width, int height) {
    GetState().screenWidth = width;
    GetState().screenHeight = height;
}

void Harness::SetPixelsPerInch(int dpi) {
    GetState().pixelsPerInch = dpi;
}

void Harness::SetMeasuredTextHeight(int height) {
    GetState().textHeight = height;
}

void Harness::SetTextWidthMeasure(std::function<int(const std::string&, int)> measure) {
    GetState().textWidth = std::move(measure);
}

void Harness::FailTimerStarts(int count) {
    GetState().failingTimerStarts = count;
}

void Harness::Answer(int result, unsigned readingMs) {
    GetState().answers.push_back(BoxAnswer{result, readingMs});
}

void Harness::SetBoxHandler(BoxHandler handler) {
    GetState().boxHandler = std::move(handler);
}

const std::vector<BoxRecord>& Harness::Boxes() const {
    return GetState().boxes;
}

int Harness::BoxDepth() const {
    return GetState().boxDepth;
}

const std::vector<TickRecord>& Harness::Ticks() const {
    return GetState().ticks;
}

int Harness::TickCount(const TTimer* timer) const {
    int n = 0;
    for (const auto& t : GetState().ticks)
        if (!timer || t.timer == timer)
            ++n;
    return n;
}

int Harness::TicksDuringBoxes() const {
    int n = 0;
    for (const auto& t : GetState().ticks)
        if (t.boxDepth > 0)
            ++n;
    return n;
}

const FormRecord& Harness::Record(const TForm& form) const {
    return form.Backend()->record;
}

const TControl* Harness::Focus() const {
    return GetState().focus;
}

bool Harness::TimerArmed(const TTimer& timer) const {
    return GetState().timers.count(&timer) > 0;
}

int Harness::InitializeCount() const {
    return GetState().initializeCount;
}

} // namespace forms::headless
