// The entry on the real Win32 backend when start-up fails: the main window cannot be created.
// It is made when the dialog first shows, after the opening question, so the exception escapes
// the show request; the entry reports it with the standard report (stop icon, one OK button, the
// title as caption, the full stop rule) and still returns 0.
#include "forms_test_support.h"

#include "app/run_application.h"
#include "ui/Unit1.h"

namespace {

using namespace formstest;

// Refuses the creation of every window of one class on this thread, as the system does when it
// runs out of resources.
class RefuseWindows {
public:
    explicit RefuseWindows(const wchar_t* cls) {
        refused_ = cls;
        hook_ = SetWindowsHookExW(WH_CBT, &Hook, nullptr, GetCurrentThreadId());
    }
    ~RefuseWindows() {
        if (hook_)
            UnhookWindowsHookEx(hook_);
    }
    bool Installed() const { return hook_ != nullptr; }
    static int Refusals() { return refusals_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_CREATEWND) {
            if (refused_ == formstest::ClassOf(reinterpret_cast<HWND>(wp))) {
                ++refusals_;
                return 1; // the creation fails
            }
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline std::wstring refused_;
    static inline int refusals_ = 0;
    HHOOK hook_ = nullptr;
};

TEST(AppErrors, StartUpFailureIsReportedAndTheExitCodeIsZero) {
    // Answers No to the question and OK to the report.
    BoxPresser presser([](const BoxSeen& box) {
        for (int id : box.buttons)
            if (id == IDNO)
                return IDNO;
        return IDOK;
    });
    int result = -1;
    {
        RefuseWindows refuse(L"TForm1");
        ASSERT_TRUE(refuse.Installed());
        result = RunApplication();
    }
    presser.Stop();

    EXPECT_EQ(result, 0);
    EXPECT_EQ(RefuseWindows::Refusals(), 1);
    EXPECT_EQ(Form1, nullptr);
    // The question, then the report of the window refused when the dialog was to show.
    ASSERT_EQ(presser.Seen().size(), 2u);
    EXPECT_EQ(presser.Seen()[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(presser.Seen()[0].caption, L"Germcatcher");
    const BoxSeen& report = presser.Seen()[1];
    EXPECT_EQ(report.caption, L"Germcatcher");
    EXPECT_TRUE(report.hasIcon);
    EXPECT_EQ(report.buttons, (std::vector<int>{IDOK}));
    // The report names the window that failed and the system's error code.
    EXPECT_EQ(report.text.rfind(L"Error creating window TForm1, system error ", 0), 0u)
        << platform::win32::Narrow(report.text);
    ASSERT_FALSE(report.text.empty());
    EXPECT_EQ(report.text.back(), L'.');
}

} // namespace
