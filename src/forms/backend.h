#pragma once
// The backend contract. The framework's classes are portable but for the members listed here,
// which each backend defines: win32/ over the real window system, headless/ for the unit tests.
// This list is the one place the duties are written down, and it is checked: Check() takes each
// member's address, and the test programs of both backends call it, so a backend that lacks one
// does not link, and the linker names what is missing. (A virtual member's address is an offset,
// not a reference; those the class's table of virtual functions already asks for.) A class
// befriends BackendContract where its hooks are private.
#include <tuple>

#include "forms/forms.h"

namespace forms {

struct BackendContract {
    static constexpr std::tuple kHooks{
        // The screen: the primary monitor's size and resolution.
        &TScreen::Width,
        &TScreen::Height,
        &TScreen::PixelsPerInch,
        // The application: start, loop, boxes, input typed ahead.
        &TApplication::Initialize,
        &TApplication::StartupShowCommand,
        &TApplication::RunLoop,
        &TApplication::MessageBox,
        &TApplication::DiscardPendingInput,
        // Every control: its window made, moved, shown, released.
        &TControl::HandleNeeded,
        &TControl::BoundsChanged,
        &TControl::VisibleChanged,
        &TControl::CreateHandle,
        &TControl::DestroyHandle,
        &TLabel::CreateHandle,
        &TLabel::CaptionChanged,
        &TButton::CreateHandle,
        &TButton::CaptionChanged,
        &TProgressBar::CreateHandle,
        &TProgressBar::RangeChanged,
        &TProgressBar::PositionChanged,
        // The form: its state, and the window that shows it.
        &TForm::NewBackendData,
        &TForm::BackendDeleter::operator(),
        &TForm::CreateHandle,
        &TForm::FrameWidthAt,
        &TForm::FrameHeightAt,
        &TForm::CaptionChanged,
        &TForm::StyleChanged,
        &TForm::ColorChanged,
        &TForm::FontChanged,
        &TForm::WindowStateChanged,
        &TForm::FocusNow,
        &TForm::TabOrderChanged,
        &TForm::ApplyBounds,
        &TForm::ApplyVisible,
        &TForm::ApplyMinimizedPending,
        &TForm::ResolutionApplied,
        &TForm::MeasureFontHeight,
        &TForm::MeasureTextWidth,
        // The timer: armed and disarmed.
        &TTimer::Start,
        &TTimer::Stop,
    };

    static void Check() {
        // Through a volatile pointer, so the list is kept with every reference it holds.
        static const void* volatile kept = &kHooks;
        (void)kept;
    }
};

} // namespace forms
