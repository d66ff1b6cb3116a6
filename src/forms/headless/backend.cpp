// The framework's backend hooks without a window system: windows are plain records, timers are
// armed in virtual time and message boxes are answered from the harness's script.
#include <algorithm>

#include "forms/forms.h"
#include "forms/headless/state.h"

namespace forms {

using headless::detail::GetState;

// --- screen ---

int TScreen::Width() const {
    return GetState().screenWidth;
}
int TScreen::Height() const {
    return GetState().screenHeight;
}
int TScreen::PixelsPerInch() const {
    return GetState().pixelsPerInch;
}

// --- controls ---

void TControl::BoundsChanged() {}
void TControl::VisibleChanged() {}
void TControl::DestroyHandle() {
    handle_ = nullptr;
}
// No windows: there is never a handle to make.
void TControl::HandleNeeded() {}
void TControl::CreateHandle() {}

void TLabel::CaptionChanged() {}
void TLabel::CreateHandle() {}

void TButton::CaptionChanged() {}
void TButton::CreateHandle() {}

void TProgressBar::RangeChanged() {}
void TProgressBar::PositionChanged() {}
void TProgressBar::CreateHandle() {}

// --- forms ---

namespace {
// A fixed dialog frame: 3 pixels on each side and a 19-pixel title bar.
constexpr int kDialogFrameWidth = 6;
constexpr int kDialogFrameHeight = 25;
} // namespace

TForm::BackendData* TForm::NewBackendData() {
    auto* data = new BackendData;
    data->form = this;
    GetState().forms.push_back(this);
    return data;
}

void TForm::BackendDeleter::operator()(BackendData* data) const {
    std::erase(GetState().forms, data->form);
    delete data;
}

TForm::~TForm() = default;

int TForm::FrameWidthAt(int) const {
    return borderStyle_ == TBorderStyle::bsDialog ? kDialogFrameWidth : 0;
}
int TForm::FrameHeightAt(int) const {
    return borderStyle_ == TBorderStyle::bsDialog ? kDialogFrameHeight : 0;
}

void TForm::CaptionChanged() {}
void TForm::StyleChanged() {}
void TForm::ColorChanged() {}
void TForm::FontChanged() {}
void TForm::WindowStateChanged() {}
void TForm::ApplyBounds() {
    if (GetState().moved)
        GetState().moved(*this);
}
void TForm::CreateHandle() {}

void TForm::FocusNow() {
    ++backend_->record.focusCount;
    TControl* first = FirstTabStop();
    GetState().focus = first ? first : static_cast<const TControl*>(this);
}

void TForm::TabOrderChanged() {}

void TForm::ResolutionApplied() {
    backend_->record.appliedDpi = pixelsPerInch_;
}

void TForm::ApplyVisible() {
    auto& record = backend_->record;
    if (visible_) {
        ++record.showCount;
        record.minimizedPending = false;
    } else {
        record.lastHideMs = GetState().nowMs;
    }
}

void TForm::ApplyMinimizedPending() {
    backend_->record.minimizedPending = true;
}

int TForm::MeasureFontHeight(const TFont& font) const {
    const int fixed = GetState().textHeight;
    return fixed > 0 ? fixed : font.height;
}

int TForm::MeasureTextWidth(const std::string& text) const {
    const auto& state = GetState();
    if (state.textWidth)
        return state.textWidth(text, font_.height);
    // Half the font height for a single-byte character, the full height for any other.
    int width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80)
            width += font_.height / 2;
        else if ((c & 0xC0) != 0x80)
            width += font_.height;
    }
    return width;
}

// --- timers ---

void TTimer::Start() {
    auto& state = GetState();
    if (state.failingTimerStarts > 0) {
        --state.failingTimerStarts;
        throw Exception("Cannot start the timer");
    }
    state.timers[this] = state.nowMs + interval_;
}

void TTimer::Stop() {
    GetState().timers.erase(this);
}

// --- application ---

void TApplication::Initialize() {
    ++GetState().initializeCount;
}

int TApplication::StartupShowCommand() const {
    return GetState().startupShowCommand;
}

void TApplication::RunLoop() {
    auto& state = GetState();
    headless::detail::RunTopLevel(state.nowMs + state.loopLimitMs);
}

// Headless input is handed to a control at once; nothing waits in a queue.
void TApplication::DiscardPendingInput() {}

int TApplication::MessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    auto& state = GetState();
    headless::BoxRecord record;
    record.text = std::string(text);
    record.caption = std::string(caption);
    record.flags = flags;
    record.atMs = state.nowMs;
    record.timerRunning = !state.timers.empty();
    record.mainFormVisible = mainForm_ && mainForm_->Visible();
    state.boxes.push_back(record);

    // A program that re-enters itself from inside its own boxes would recurse without end;
    // past this depth the box fails at once so the test sees the fault instead of a crash.
    constexpr int kMaxBoxDepth = 16;
    if (state.boxDepth >= kMaxBoxDepth)
        return 0;

    headless::BoxAnswer answer;
    if (state.boxHandler) {
        answer = state.boxHandler(record);
    } else if (!state.answers.empty()) {
        answer = state.answers.front();
        state.answers.pop_front();
    }
    // The box's nested loop: timers keep ticking while the user reads; input to the program's
    // own windows is blocked, so scheduled actions wait for the top-level loop.
    ++state.boxDepth;
    headless::detail::Pump(state.nowMs + answer.readingMs, false);
    --state.boxDepth;
    return answer.result;
}

} // namespace forms
