#pragma once
// Shared state of the headless backend: the virtual clock, armed timers, scheduled actions,
// message box script and records. The framework hooks and the Harness both work on it.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forms/headless/harness.h"

namespace forms::headless::detail {

struct ScheduledAction {
    long long atMs;
    long long sequence; // keeps actions due at the same time in the order they were added
    std::function<void()> action;
};

struct State {
    long long nowMs = 0;
    long long sequence = 0;
    std::map<const TTimer*, long long> timers; // armed timers and their next due time
    std::vector<ScheduledAction> actions;
    std::deque<BoxAnswer> answers;
    BoxHandler boxHandler;
    std::vector<BoxRecord> boxes;
    std::vector<TickRecord> ticks;
    int boxDepth = 0;
    const TControl* focus = nullptr; // the control (or form) holding the keyboard focus
    int initializeCount = 0;
    int failingTimerStarts = 0;
    long long loopLimitMs = 60LL * 60 * 1000;

    int screenWidth = 1280;
    int screenHeight = 1024;
    int pixelsPerInch = 96;
    int startupShowCommand = 1; // SW_SHOWNORMAL
    int textHeight = 0;         // 0: the font's own height
    std::function<int(const std::string&, int)> textWidth;
    std::vector<TForm*> forms; // every form alive, as the system knows their windows
    // Called each time a form's window is moved or sized: what the system does meanwhile (a
    // change of monitor delivered while a move is made) a test does here.
    std::function<void(TForm&)> moved;
};

State& GetState();
void ResetState();

// Dispatches what falls due up to `untilMs` (timers always; scheduled actions only at the top
// level, where user input can reach the program). The top level stops once the application
// has terminated. Returns when nothing more is due before `untilMs`, with the clock there.
void Pump(long long untilMs, bool topLevel);

// The top-level loop: runs event by event until the application terminates, nothing can happen
// any more, or the next event lies beyond `untilMs`. The clock stays at the last event.
void RunTopLevel(long long untilMs);

// The earliest time at which anything can happen at the top level, or -1 when nothing can.
long long NextEventTime();

// Runs a handler the way the message loop does: through Application->Dispatch when there is an
// application object.
void DispatchHandler(const std::function<void()>& handler);

} // namespace forms::headless::detail

namespace forms {

// A form's own headless state: what the backend saw it do.
struct TForm::BackendData {
    TForm* form = nullptr;
    headless::FormRecord record;
};

} // namespace forms
