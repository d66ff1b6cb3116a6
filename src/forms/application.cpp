#include "forms/application.h"

#include <exception>

#include "forms/screen.h"

namespace forms {

TApplication* Application = nullptr;

namespace {
TScreen g_screen;
}
TScreen* Screen = &g_screen;

TApplication::TApplication() : TComponent(nullptr) {
    Application = this;
}

TApplication::~TApplication() {
    if (Application == this)
        Application = nullptr;
}

void TApplication::SetTitle(std::string title) {
    title_ = std::move(title);
}

void TApplication::Run() {
    if (!mainForm_)
        return;
    const int show = StartupShowCommand();
    if (show == kShowMinNoActive) {
        Minimize();
    } else {
        if (show == kShowMaximized)
            mainForm_->SetWindowState(TWindowState::wsMaximized);
        mainForm_->SetVisible(true);
    }
    RunLoop();
}

void TApplication::Terminate() {
    terminated_ = true;
}

void TApplication::Minimize() {
    if (mainForm_)
        mainForm_->ShowMinimizedPending();
}

void TApplication::HandleException() noexcept {
    try {
        try {
            throw;
        } catch (const EAbort&) {
        } catch (const Exception& e) {
            ShowException(e);
        } catch (const std::exception& e) {
            ShowException(Exception(e.what()));
        } catch (...) {
            ShowException(Exception(""));
        }
    } catch (...) {
        // The report itself failed; nothing more can be said.
    }
}

void TApplication::ShowException(const Exception& e) {
    MessageBox(ErrorReportText(e.Message()), title_, MB_OK_ | MB_ICONSTOP_);
}

void TApplication::SettingChange() {
    if (OnSettingChange)
        Dispatch([this] { OnSettingChange(this); });
}

} // namespace forms
