#include "forms/timer.h"

namespace forms {

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
    if (armed_)
        Stop();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(unsigned milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
    onTimer_ = std::move(handler);
    Update();
}

void TTimer::Update() {
    if (armed_) {
        Stop();
        armed_ = false;
    }
    if (Running()) {
        try {
            Start();
        } catch (...) {
            // A timer that could not start is off, so a later SetEnabled(true) tries again.
            enabled_ = false;
            throw;
        }
        armed_ = true;
    }
}

void TTimer::Tick() {
    if (Running())
        onTimer_(this);
}

} // namespace forms
