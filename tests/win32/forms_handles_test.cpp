// Windows made when first needed: nothing exists while only properties are set, the first need
// makes the form's window and all its controls' with every stored value, and the main window
// does not exist yet while the opening question is up.
#include "forms_test_support.h"

#include <commctrl.h>

#include "show/texts.h"
#include "ui/Unit1.h"

using namespace forms;
using namespace formstest;

namespace {

class FormsHandles : public FormsTest {};

RECT ClientRectOf(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<HWND> ChildrenInZOrder(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// Windows of `className` on `thread`.
int CountWindows(DWORD thread, const wchar_t* className) {
    int count = 0;
    for (HWND window : ThreadWindows(thread))
        count += ClassOf(window) == className;
    return count;
}

TEST_F(FormsHandles, EveryValueStoredBeforeTheFirstNeedIsAppliedWhenTheWindowsAreMade) {
    auto [form, bar, button, label] = NewDialog();
    form->SetColor(0x0000FF00); // pure green
    bar->SetMax(50);
    bar->SetPosition(7);
    label->SetCaption("アドレス帳を検索しています．．．");
    auto* hidden = new TLabel(form);
    hidden->SetBounds(8, 40, 50, 16);
    hidden->Hide();

    // Only stored so far: no window, not even for measuring the label's text with the font.
    EXPECT_GT(label->Width(), 0);
    EXPECT_EQ(label->Width(), form->MeasureTextWidth(label->Caption()));
    EXPECT_GT(form->MeasureTextHeight(), 0);
    for (TControl* c : std::vector<TControl*>{form, bar, button, label, hidden})
        EXPECT_FALSE(c->HandleAllocated());
    EXPECT_EQ(CountWindows(GetCurrentThreadId(), L"TTestForm"), 0);

    // Asking one control for its window makes the form's (hidden) and every control's.
    HWND buttonWindow = Hwnd(button);
    ASSERT_NE(buttonWindow, nullptr);
    for (TControl* c : std::vector<TControl*>{form, bar, label, hidden})
        EXPECT_TRUE(c->HandleAllocated());
    HWND window = Hwnd(form);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(CountWindows(GetCurrentThreadId(), L"TTestForm"), 1);
    EXPECT_EQ(TextOf(window), L"Germcatcher");
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(Corners(client), (std::array<LONG, 4>{0, 0, 296, 128}));

    // The controls in the order they were placed, at their bounds, with their texts and values.
    EXPECT_EQ(ChildrenInZOrder(window),
              (std::vector<HWND>{Hwnd(bar), buttonWindow, Hwnd(label), Hwnd(hidden)}));
    EXPECT_EQ(Corners(ClientRectOf(Hwnd(bar))), (std::array<LONG, 4>{8, 64, 8 + 281, 64 + 17}));
    const RECT labelRect = ClientRectOf(Hwnd(label));
    EXPECT_EQ(labelRect.right - labelRect.left, label->Width());
    EXPECT_EQ(TextOf(Hwnd(label)), L"アドレス帳を検索しています．．．");
    EXPECT_EQ(TextOf(buttonWindow), L"キャンセル");
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETRANGE, FALSE, 0), 50);
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETPOS, 0, 0), 7);
    EXPECT_FALSE(GetWindowLongW(Hwnd(hidden), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(Hwnd(label), GWL_STYLE) & WS_VISIBLE);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(Hwnd(label), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(buttonWindow, WM_GETFONT, 0, 0)), font);
    const LOGFONTW logFont = FontOf(Hwnd(label));
    EXPECT_STREQ(logFont.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(logFont.lfHeight, -16);

    // Shown, it paints the stored colour; a second need makes nothing new.
    form->Show();
    EXPECT_EQ(Hwnd(form), window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 290, 4), RGB(0, 255, 0));
    ReleaseDC(window, dc);
    EXPECT_EQ(CountWindows(GetCurrentThreadId(), L"TTestForm"), 1);
}

TEST_F(FormsHandles, ShowingMinimisedOrFocusingMakesTheWindowAndHidingDoesNot) {
    auto* neverShown = new TTestForm(app.get());
    neverShown->Hide();
    neverShown->SetWindowState(TWindowState::wsMaximized);
    EXPECT_FALSE(neverShown->HandleAllocated());

    auto* focused = new TTestForm(app.get());
    focused->SetFocus();
    EXPECT_TRUE(focused->HandleAllocated());
    EXPECT_FALSE(IsWindowVisible(Hwnd(focused)));

    auto* minimised = new TTestForm(app.get());
    minimised->SetClientSize(100, 50);
    minimised->ShowMinimizedPending();
    EXPECT_TRUE(minimised->HandleAllocated());
    EXPECT_TRUE(IsIconic(Hwnd(minimised)));
}

TEST_F(FormsHandles, ControlsPlacedOnAFormOnScreenAppearAtOnceAndFollowItsFont) {
    TTestForm* form = NewDialog().form;
    form->Show();
    auto* label = new TLabel(form);
    auto* bar = new TProgressBar(form);
    EXPECT_TRUE(label->HandleAllocated() && bar->HandleAllocated());
    label->SetBounds(8, 16, 0, 16);
    label->SetCaption("x");
    EXPECT_TRUE(IsWindowVisible(Hwnd(label)));
    EXPECT_EQ(GetParent(Hwnd(label)), Hwnd(form));

    // A new font reaches the controls on screen and the measurements.
    form->SetFont({"ＭＳ Ｐゴシック", 32, 128, clWindowText});
    EXPECT_EQ(FontOf(Hwnd(label)).lfHeight, -32);
    EXPECT_EQ(form->MeasureTextWidth("x"), DrawnTextWidth(Hwnd(label), L"x"));
}

// The point of making windows late: while the opening question is up, the program has made no
// window of its main form yet; the first show then makes it with the first phase loaded.
TEST_F(FormsHandles, MainWindowIsNotMadeUntilTheAnswerHasBeenGiven) {
    const DWORD thread = GetCurrentThreadId();
    int formsDuringQuestion = -1;
    BoxPresser presser(IDNO, [&](HWND) { formsDuringQuestion = CountWindows(thread, L"TForm1"); });
    app->CreateForm(Form1);
    presser.Stop();

    ASSERT_EQ(presser.Seen().size(), 1u);
    EXPECT_EQ(presser.Seen()[0].text, Widen(show::texts::kQuestionText));
    EXPECT_EQ(formsDuringQuestion, 0);
    EXPECT_FALSE(Form1->HandleAllocated());
    EXPECT_FALSE(Form1->ProgressBar1->HandleAllocated());

    Form1->Show();
    HWND window = Hwnd(Form1);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(TextOf(Hwnd(Form1->Label1)), Widen(show::texts::kAddressBookStatus));
    EXPECT_EQ(SendMessageW(Hwnd(Form1->ProgressBar1), PBM_GETRANGE, FALSE, 0), 16);
    EXPECT_EQ(TextOf(Hwnd(Form1->btnCancel)), Widen(show::texts::kCancelCaption));
    // The font the window really draws with, whatever the user's code page: Shift_JIS.
    const LOGFONTW font = FontOf(Hwnd(Form1->Label1));
    EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    Form1->Timer1->SetEnabled(false);
}

} // namespace
