#pragma once
// Window timer. Ticks arrive on the GUI thread through the message loop. Setting Enabled to the
// value it has does nothing; switching a running timer off stops its ticks; switching a stopped
// timer on starts a fresh full interval. A timer whose start fails is off (Enabled() is false).
#include <cstdint>

#include "forms/types.h"

namespace forms {

class TTimer : public TComponent {
public:
    friend struct BackendContract; // the backend's members: forms/backend.h
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned Interval() const { return interval_; }
    void SetInterval(unsigned milliseconds);

    void SetOnTimer(TNotifyEvent handler);
    // Raised by the backend at each tick.
    void Tick();

    // Whether the timer is armed: enabled, with an interval and a handler.
    bool Running() const { return enabled_ && interval_ > 0 && onTimer_ != nullptr; }

private:
    void Update(); // stops the ticks, then starts a fresh interval when Running()
    void Start();  // starts ticking every Interval() from now
    void Stop();   // stops ticking
    TNotifyEvent onTimer_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
    bool armed_ = false;
    std::uintptr_t id_ = 0; // the backend's id of the running timer (Win32: its SetTimer id)
};

} // namespace forms
