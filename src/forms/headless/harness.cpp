#include "forms/headless/harness.h"

#include <chrono>
#include <limits>

#include "forms/headless/state.h"

namespace forms::headless {

namespace detail {

State& GetState() {
    static State state;
    return state;
}

void ResetState() {
    GetState() = State{};
}

void DispatchHandler(const std::function<void()>& handler) {
    if (Application)
        Application->Dispatch(handler);
    else
        handler();
}

namespace {

bool TerminatedNow() {
    return Application && Application->Terminated();
}

// The armed timer due first (ties: the lowest address, which is stable within a run).
const TTimer* NextTimer(long long& dueMs) {
    const TTimer* next = nullptr;
    for (const auto& [timer, due] : GetState().timers) {
        if (!next || due < dueMs) {
            next = timer;
            dueMs = due;
        }
    }
    return next;
}

int NextAction(long long& dueMs) {
    const auto& actions = GetState().actions;
    int next = -1;
    for (size_t i = 0; i < actions.size(); ++i) {
        const auto& a = actions[i];
        if (next < 0 || a.atMs < dueMs ||
            (a.atMs == dueMs && a.sequence < actions[static_cast<size_t>(next)].sequence)) {
            next = static_cast<int>(i);
            dueMs = a.atMs;
        }
    }
    return next;
}

} // namespace

long long NextEventTime() {
    long long timerDue = 0, actionDue = 0;
    const bool hasTimer = NextTimer(timerDue) != nullptr;
    const bool hasAction = NextAction(actionDue) >= 0;
    if (!hasTimer && !hasAction)
        return -1;
    if (!hasTimer)
        return actionDue;
    if (!hasAction)
        return timerDue;
    return std::min(timerDue, actionDue);
}

void Pump(long long untilMs, bool topLevel) {
    auto& state = GetState();
    for (;;) {
        if (topLevel && TerminatedNow())
            return;
        long long timerDue = 0, actionDue = 0;
        const TTimer* timer = NextTimer(timerDue);
        const long long timerScheduled = timerDue;
        const int action = topLevel ? NextAction(actionDue) : -1;
        // Something overdue (a wait blocked the loop) is delivered now, once.
        if (timer)
            timerDue = std::max(timerDue, state.nowMs);
        if (action >= 0)
            actionDue = std::max(actionDue, state.nowMs);
        const bool runAction = action >= 0 && (!timer || actionDue <= timerDue);
        const long long due = runAction ? actionDue : (timer ? timerDue : untilMs + 1);
        if (due > untilMs) {
            state.nowMs = std::max(state.nowMs, untilMs);
            return;
        }
        state.nowMs = due;
        if (runAction) {
            auto fn = std::move(state.actions[static_cast<size_t>(action)].action);
            state.actions.erase(state.actions.begin() + action);
            DispatchHandler(fn);
        } else {
            // As a window timer does: a tick that fell due while the thread was blocked comes
            // once, and the next one stays on the timer's own grid; missed ticks are not made up.
            const long long interval = std::max(1LL, static_cast<long long>(timer->Interval()));
            state.timers[timer] =
                timerScheduled + ((due - timerScheduled) / interval + 1) * interval;
            state.ticks.push_back(TickRecord{timer, due, state.boxDepth});
            TTimer* t = const_cast<TTimer*>(timer);
            DispatchHandler([t] { t->Tick(); });
        }
    }
}

void RunTopLevel(long long untilMs) {
    auto& state = GetState();
    while (!TerminatedNow()) {
        const long long next = NextEventTime();
        if (next < 0 || next > untilMs)
            return;
        Pump(std::max(next, state.nowMs), true);
    }
}

} // namespace detail

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

Harness::Harness() : clock_(new VirtualClock) {
    detail::ResetState();
    platform::SetClock(clock_);
}

Harness::~Harness() {
    platform::SetClock(nullptr);
    detail::ResetState();
    delete clock_;
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

void Harness::SetPixelsPerInch(int ppi) {
    GetState().pixelsPerInch = ppi;
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
