#pragma once
// The application object: title, main form, message loop, modal message boxes, error reports.
#include <string>
#include <string_view>

#include "forms/exception.h"
#include "forms/form.h"

namespace forms {

class TApplication : public TComponent {
public:
    friend struct BackendContract; // the backend's members: forms/backend.h
    TApplication();
    ~TApplication() override;

    void Initialize(); // the common controls and the application's hidden window

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title);

    // Creates a form owned by the application; the first one becomes the main form.
    template <class T> void CreateForm(T*& reference) {
        reference = new T(this);
        if (!mainForm_)
            mainForm_ = reference;
    }
    TForm* MainForm() const { return mainForm_; }

    // Shows the main form as the start-up show request asks (maximised: the form is maximised
    // before it is shown; minimised without activation: the application is minimised and the
    // form's OnShow waits until it is restored), then dispatches events until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Application-modal message box (UTF-8 texts, Windows flags); returns the pressed button's
    // code, 0 when the box could not be shown. Every window of the program is disabled while it
    // is up; always-on-top windows lie below it and regain their placement afterwards; the
    // previously active window and focus come back.
    int MessageBox(std::string_view text, std::string_view caption, unsigned flags);

    // Drops the keys and mouse clicks waiting in the program's queue, typed ahead while it did
    // not respond: the system hands queued input to whichever window is in front when it is
    // read, so it would answer a box that has just come up. Every other message stays.
    void DiscardPendingInput();

    // Runs an event handler; an exception escaping it is reported (EAbort silently).
    template <class F> void Dispatch(F&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            HandleException();
        }
    }
    // Reports the exception being handled with the standard error report (EAbort: nothing).
    void HandleException() noexcept;
    // The standard error report: the message (with the "." rule) in a box with the stop icon,
    // captioned with the application title.
    void ShowException(const Exception& e);

    // Raised when the system announces a change of its settings (or the taskbar is re-created).
    TNotifyEvent OnSettingChange;
    void SettingChange(); // called by the backend

    // The start-up show request (SW_ value) the system passed to the program.
    int StartupShowCommand() const;
    void Minimize(); // shows the main form minimised, its OnShow pending until restored

private:
    void RunLoop(); // dispatches until Terminated()
    std::string title_;
    TForm* mainForm_ = nullptr;
    bool terminated_ = false;
};

extern TApplication* Application;

} // namespace forms
