// The headless backend's event loop in virtual time: the state the backend and the harness share,
// and the dispatch of what falls due (timer ticks, and the user's scheduled actions at the top
// level), as the message loop and a box's nested loop do on Windows.
#include <algorithm>
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

// The due time when nothing is due: after any time a loop runs until.
constexpr long long kNothingDue = std::numeric_limits<long long>::max();

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
        const long long due = runAction ? actionDue : (timer ? timerDue : kNothingDue);
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

} // namespace forms::headless
