// Timers tick on the application's hidden window. Each start gets a fresh id, so a tick of a
// stopped or restarted timer that is still in the queue finds nobody and is dropped.
#include "forms/timer.h"

#include <map>

#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

namespace {
// The running timers by id, for WM_TIMER to find its timer.
std::map<UINT_PTR, TTimer*> g_byId;
UINT_PTR g_nextId = 1;
} // namespace

void TTimer::Start() {
    const UINT_PTR id = g_nextId++;
    if (!SetTimer(AppWindow(), id, interval_, nullptr))
        throw Exception("Cannot start the timer");
    g_byId[id] = this;
    id_ = id;
}

void TTimer::Stop() {
    if (!id_)
        return;
    KillTimer(AppWindow(), id_);
    g_byId.erase(id_);
    id_ = 0;
}

namespace win32 {

void DeliverTimer(UINT_PTR id) {
    auto it = g_byId.find(id);
    if (it == g_byId.end())
        return;
    // After the main form closed the loop ends; a nested loop still running must not tick.
    if (Application && Application->Terminated())
        return;
    TTimer* timer = it->second;
    RunHandler([timer] { timer->Tick(); });
}

} // namespace win32

} // namespace forms
