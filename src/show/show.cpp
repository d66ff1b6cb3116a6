#include "show/show.h"

#include "platform/clock.h"
#include "show/texts.h"

std::int32_t AnswerCode = 0;
std::int32_t PhaseCount = 0;
bool CloseUnlocked = false;
bool SequenceDone = false;

namespace show {

namespace {
ShowParts g_parts;

bool Bound() {
    return g_parts.form && g_parts.label && g_parts.bar && g_parts.cancel && g_parts.timer;
}
} // namespace

void BindShowParts(const ShowParts& parts) {
    g_parts = parts;
}

void UnbindShowParts(const forms::TForm* form) {
    if (g_parts.form == form)
        g_parts = ShowParts{};
}

const ShowParts& Parts() {
    return g_parts;
}

void LoadFirstPhase() {
    if (!Bound())
        return;
    const bool yes = AnswerCode == forms::IDYES_;
    g_parts.label->SetCaption(std::string(yes ? texts::kEraseStatus : texts::kAddressBookStatus));
    g_parts.bar->SetMax(yes ? kYesPhaseSteps : kAddressBookSteps);
    PhaseCount = yes ? 1 : 0;
    g_parts.form->SetWindowState(forms::TWindowState::wsNormal);
    g_parts.form->SetFocus();
    g_parts.timer->SetEnabled(true);
}

void GuardCloseQuery(bool& canClose) {
    if (SequenceDone)
        return;
    if (!CloseUnlocked) {
        ShowPausedMessage(texts::kBusyText, forms::MB_OK_);
        canClose = false;
        return;
    }
    if (ShowPausedMessage(texts::kBusyText, forms::MB_YESNO_) != forms::IDNO_)
        canClose = false;
}

void WatchUnlockGesture(forms::TMouseButton button, forms::TShiftState shift) {
    if ((shift & forms::ssShift) && (shift & forms::ssCtrl) &&
        button == forms::TMouseButton::mbRight)
        CloseUnlocked = !CloseUnlocked;
}

void TeaseOnCancel() {
    ShowPausedMessage(texts::kCancelText, forms::MB_OK_);
}

namespace {

void YesFinale() {
    g_parts.timer->SetEnabled(false);
    SequenceDone = true;
    ShowCoverScreen(*g_parts.form);
    ShowPausedMessage(texts::kYesFinaleFirst, forms::MB_OK_);
    platform::Sleep(kVerdictWaitMs);
    ShowPausedMessage(texts::kFinaleSecond, forms::MB_OK_);
    ShowPausedMessage(texts::kYesFinaleVerdict, forms::MB_OK_);
    g_parts.form->Close();
}

void NoFinale() {
    g_parts.timer->SetEnabled(false);
    SequenceDone = true;
    g_parts.form->Hide();
    platform::Sleep(kHideWaitMs);
    ShowPausedMessage(texts::kNoFinaleFirst, forms::MB_OK_);
    platform::Sleep(kVerdictWaitMs);
    ShowPausedMessage(texts::kFinaleSecond, forms::MB_OK_);
    ShowPausedMessage(texts::kNoFinaleVerdict, forms::MB_OK_);
    g_parts.form->Close();
}

} // namespace

} // namespace show

std::int32_t ShowPausedMessage(std::string_view text, unsigned flags) {
    forms::TTimer* timer = show::Parts().timer;
    // Put the clock back however the box ends. A destructor must not throw: a clock that cannot
    // start is reported as the loop reports any other failure, and tried once more, so a passing
    // fault does not stall the show.
    struct Restore {
        forms::TTimer* timer;
        bool enabled;
        ~Restore() {
            for (int attempt = 0; timer && attempt < 2; ++attempt) {
                try {
                    timer->SetEnabled(enabled);
                    return;
                } catch (...) {
                    if (forms::Application)
                        forms::Application->HandleException();
                }
            }
        }
    } restore{timer, timer && timer->Enabled()};
    if (timer)
        timer->SetEnabled(false);
    if (!forms::Application)
        return 0;
    // Keys pressed and clicks made while the show was frozen must not answer this box unread.
    forms::Application->DiscardPendingInput();
    return forms::Application->MessageBox(text, show::texts::kProgramName, flags);
}

void PhaseStep() {
    using show::Parts;
    if (!Parts().bar)
        return;
    forms::TProgressBar& bar = *Parts().bar;
    const int position = bar.Position();
    if (position < bar.Max()) {
        bar.SetPosition(position + 1);
        return;
    }
    ++PhaseCount;
    if (PhaseCount == 1) {
        // The full bar and the old status line stay on screen while the thread waits.
        platform::Sleep(show::kMailSwitchWaitMs);
        Parts().label->SetCaption(std::string(show::texts::kMailStatus));
        bar.SetMax(show::kMailSteps);
    } else if (AnswerCode == forms::IDYES_) {
        show::YesFinale();
    } else {
        show::NoFinale();
    }
    // Parts may have been released if the window went away during the finale.
    if (Parts().bar)
        Parts().bar->SetPosition(0);
}

void ShowCoverScreen(forms::TForm& form) {
    const show::ShowParts& parts = show::Parts();
    form.Hide();
    if (parts.bar)
        parts.bar->Hide();
    if (parts.cancel)
        parts.cancel->Hide();
    if (parts.label)
        parts.label->Hide();
    form.SetBorderStyle(forms::TBorderStyle::bsNone);
    // Placed in one move: a move in steps could cross onto a monitor at another scaling halfway.
    // Again whenever the screen changes while a box is up (a monitor docked, another size
    // or scaling), so that the cover neither leaves part of the desktop bare nor spills over.
    const auto cover = [](forms::TForm& f) {
        f.SetBounds(0, 0, forms::Screen->Width(), forms::Screen->Height());
    };
    cover(form);
    form.OnDisplayChange = [&form, cover](forms::TObject*) { cover(form); };
    form.SetColor(show::kCoverColor);
    // Showing again raises OnShow once more; the window stays where it was just put.
    form.Show();
    if (parts.form)
        parts.form->SetFocus();
}
