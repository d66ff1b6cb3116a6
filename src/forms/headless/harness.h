#pragma once
// Testing API of the headless form backend. A test creates one Harness first: it installs a
// virtual clock, drives timers and scheduled user actions in virtual time, answers message boxes
// from a script and records what the program did. Nothing here sleeps or depends on real time.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "platform/clock.h"

namespace forms::headless {

// One message box as it came up.
struct BoxRecord {
    std::string text;
    std::string caption;
    unsigned flags = 0;
    long long atMs = 0;        // virtual time when it came up
    bool timerRunning = false; // whether any timer was armed at that moment
    bool mainFormVisible = false;
};

// The answer to a box: the pressed button's code (0: the box failed) and how long the user
// reads it. During the reading time the box's nested loop dispatches due timer ticks, as a real
// modal loop would.
struct BoxAnswer {
    int result = 0;
    unsigned readingMs = 0;
};

using BoxHandler = std::function<BoxAnswer(const BoxRecord&)>;

// One tick delivered to a timer.
struct TickRecord {
    const TTimer* timer = nullptr;
    long long atMs = 0;
    int boxDepth = 0; // boxes up while it was delivered
};

// What the backend saw a form do.
struct FormRecord {
    int showCount = 0;             // times the window was made visible
    int focusCount = 0;            // times it was given the keyboard focus
    long long lastHideMs = -1;     // virtual time it was last hidden
    bool minimizedPending = false; // shown minimised without OnShow
    int appliedDpi = 0;            // the resolution a change of resolution last ended at
};

class Harness {
public:
    Harness();
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // --- virtual time ---
    long long NowMs() const;
    // The local date and time that the clock reports at virtual time 0.
    void SetStartTime(const platform::LocalTime& time);
    platform::LocalTime LocalTimeAt(long long ms) const;
    // Dispatches due ticks and scheduled actions for `ms` of virtual time (stops early when the
    // application terminates).
    void RunFor(long long ms);
    // Runs until the application terminates or `limitMs` of virtual time have passed, or until
    // nothing can happen any more. Returns whether the application terminated.
    bool RunUntilTerminated(long long limitMs);
    // Longest virtual time the application's own message loop runs before giving up (a guard
    // against a program that never ends).
    void SetLoopLimit(long long ms);

    // --- scheduled user actions (absolute virtual time; run by the top-level loop) ---
    void At(long long ms, std::function<void()> action);

    // --- input, each dispatched like an event from the message loop ---
    void Click(TButton& button);
    void MouseUp(TProgressBar& bar, TMouseButton button, TShiftState shift, int x = 10, int y = 8);
    // A close request to the window (close box, Alt+F4, ...). Returns whether it closed.
    bool RequestClose(TForm& form);
    // The session-end query: whether the main form lets the session end.
    bool QueryEndSession();
    // The user restores the minimised application.
    void RestoreApplication();
    // The system announces a change of its settings.
    void AnnounceSettingChange();
    // The system announces that the screen changed size (SetScreenSize first) to every form.
    void AnnounceDisplayChange();

    // --- environment ---
    void SetStartupShowCommand(int command);
    void SetScreenSize(int width, int height);
    void SetPixelsPerInch(int dpi);
    // The text height every font measures (0: the font's height).
    void SetMeasuredTextHeight(int height);
    // Custom text width measure (text, font height) -> pixels.
    void SetTextWidthMeasure(std::function<int(const std::string&, int)> measure);
    // The next `count` timer starts fail as the system's SetTimer can ("Cannot start the timer").
    void FailTimerStarts(int count);

    // --- message boxes ---
    void Answer(int result, unsigned readingMs = 0); // queued, used in order
    void SetBoxHandler(BoxHandler handler);          // takes precedence over the queue
    const std::vector<BoxRecord>& Boxes() const;
    int BoxDepth() const;

    // --- records ---
    const std::vector<TickRecord>& Ticks() const;
    // Ticks delivered to `timer` (all timers when null).
    int TickCount(const TTimer* timer = nullptr) const;
    // Ticks delivered while a message box was up.
    int TicksDuringBoxes() const;
    const FormRecord& Record(const TForm& form) const;
    // The control or form that was last given the keyboard focus (null: none yet).
    const TControl* Focus() const;
    bool TimerArmed(const TTimer& timer) const;
    int InitializeCount() const;

private:
    class VirtualClock;
    std::unique_ptr<VirtualClock> clock_;
};

} // namespace forms::headless
