#pragma once
// The scripted show: paused message boxes, the phase machine with its finales, the cover screen,
// the first phase, and the close guard. No window system here, only the form framework.
#include <cstdint>
#include <string_view>

#include "forms/forms.h"
#include "show/show_state.h"

namespace show {

// The main window's parts the show works on. The window registers them when it is built; the
// show reaches them here the way the window's own code reaches them through its fields.
struct ShowParts {
    forms::TForm* form = nullptr;
    forms::TLabel* label = nullptr;
    forms::TProgressBar* bar = nullptr;
    forms::TButton* cancel = nullptr;
    forms::TTimer* timer = nullptr;
};

void BindShowParts(const ShowParts& parts);
// Forgets the parts when they belong to `form` (the window is going away).
void UnbindShowParts(const forms::TForm* form);
const ShowParts& Parts();

inline constexpr unsigned kQuestionFlags = forms::MB_YESNO_ | forms::MB_ICONEXCLAMATION_;

// Bar lengths and waits of the phases and finales.
inline constexpr int kYesPhaseSteps = 50;
inline constexpr int kAddressBookSteps = 16;
inline constexpr int kMailSteps = 40;
inline constexpr unsigned kMailSwitchWaitMs = 800;
inline constexpr unsigned kHideWaitMs = 400;
inline constexpr unsigned kVerdictWaitMs = 2000;
inline constexpr forms::TColor kCoverColor = 0xFF0000; // pure blue

// Loads the chosen path's first phase and starts the clock (each time the window is shown).
void LoadFirstPhase();
// The close guard: refuses while the show runs; once unlocked, asks and lets No through.
void GuardCloseQuery(bool& canClose);
// The hidden gesture: right button released with Shift and Ctrl down flips CloseUnlocked.
void WatchUnlockGesture(forms::TMouseButton button, forms::TShiftState shift);
// The Cancel button only teases.
void TeaseOnCancel();

} // namespace show

// Shows a box captioned with the program's name while the show's clock stands still; the clock
// is left exactly as it was found. Returns the pressed button's code.
std::int32_t ShowPausedMessage(std::string_view text, unsigned flags);

// One tick of the show: a step of the bar, the switch to the mail phase, or the finale.
void PhaseStep();

// Turns the window into a blue, borderless cover of the whole screen.
void ShowCoverScreen(forms::TForm& form);
