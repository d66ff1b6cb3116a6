// The form framework's windows as Windows sees them: styles, geometry, texts, native control
// state, show order, the cover screen and the minimised start.
#include "forms_test_support.h"

#include <commctrl.h>

#include <array>
#include <cwchar>
#include <functional>
#include <utility>
#include <vector>

#include "platform/win32/system_dll.h"

using namespace forms;
using namespace formstest;

namespace {

constexpr UINT WM_GETDPISCALEDSIZE_ = 0x02E4; // beyond the headers' Windows 7 target

// The screen's size as the display was started (the test environment's GERM_SCREEN, "WxH"),
// else the primary monitor's: not the framework's own reading.
SIZE ExpectedScreen() {
    wchar_t value[32] = {};
    int width = 0, height = 0;
    if (GetEnvironmentVariableW(L"GERM_SCREEN", value, 32) &&
        swscanf(value, L"%dx%d", &width, &height) == 2)
        return {width, height};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    return {info.rcMonitor.right - info.rcMonitor.left, info.rcMonitor.bottom - info.rcMonitor.top};
}

class FormsWindow : public FormsTest {};

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

TEST_F(FormsWindow, DialogFrameIsFixedWithoutMinMaxBoxesStaysOnTopAndHasTheRequestedClientSize) {
    TTestForm* form = NewDialog().form;
    form->Show();
    HWND window = Hwnd(form);

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG ex = GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_EQ(TextOf(window), L"Germcatcher");

    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(Corners(client), (std::array<LONG, 4>{0, 0, 296, 128}));
    EXPECT_EQ(form->ClientWidth(), 296);
    EXPECT_EQ(form->ClientHeight(), 128);
    const RECT outer = WindowRect(window);
    EXPECT_EQ(outer.right - outer.left, form->Width());
    EXPECT_EQ(outer.bottom - outer.top, form->Height());

    // The border does not offer sizing.
    const LRESULT hit =
        SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(outer.right - 1, outer.bottom - 1));
    EXPECT_NE(hit, HTBOTTOMRIGHT);
}

TEST_F(FormsWindow, ControlsShowTheirTextsAndValuesInTheNativeControls) {
    auto [form, bar, button, label] = NewDialog();
    const std::string status = "ハードディスクの消去中です．．．";
    label->SetCaption(status);
    form->Show();

    EXPECT_EQ(TextOf(Hwnd(label)), Widen(status));
    EXPECT_EQ(TextOf(Hwnd(button)), L"キャンセル");
    // The label's width follows its text as the form's font measures it.
    EXPECT_GT(label->Width(), 0);
    EXPECT_EQ(label->Width(), DrawnTextWidth(Hwnd(label), Widen(status)));
    const RECT r = WindowRect(Hwnd(label));
    EXPECT_EQ(r.right - r.left, label->Width());
    form->SetCaption("Germcatcher 2"); // on screen already
    EXPECT_EQ(TextOf(Hwnd(form)), L"Germcatcher 2");

    bar->SetMax(50);
    bar->SetPosition(7);
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETPOS, 0, 0), 7);
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETRANGE, FALSE, 0), 50);
    bar->SetMax(4); // the position follows the smaller range
    EXPECT_EQ(bar->Position(), 4);
    EXPECT_EQ(SendMessageW(Hwnd(bar), PBM_GETPOS, 0, 0), 4);

    // All controls draw with the form's font.
    HFONT shared = reinterpret_cast<HFONT>(SendMessageW(Hwnd(label), WM_GETFONT, 0, 0));
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(Hwnd(button), WM_GETFONT, 0, 0)), shared);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(Hwnd(bar), WM_GETFONT, 0, 0)), shared);
    const LOGFONTW logFont = FontOf(Hwnd(label));
    EXPECT_STREQ(logFont.lfFaceName, L"ＭＳ Ｐゴシック");
    EXPECT_EQ(logFont.lfHeight, -16);
    EXPECT_EQ(logFont.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_GT(form->MeasureTextHeight(), 0);

    label->Hide();
    EXPECT_FALSE(IsWindowVisible(Hwnd(label)));
    EXPECT_TRUE(IsWindowVisible(Hwnd(bar)));
}

// The moves of one window while a message is handled: every WM_WINDOWPOSCHANGING that moves or
// sizes it, seen through a hook so the window's own procedure stays as it is. `nested` is sent
// to the window from inside the first move, as a move onto another monitor would bring it.
struct MoveRecorder {
    static inline HWND window = nullptr;
    static inline std::vector<RECT> moves;
    static inline std::function<void()> nested;
    HHOOK hook;
    explicit MoveRecorder(HWND w) {
        window = w;
        moves.clear();
        nested = nullptr;
        hook = SetWindowsHookExW(WH_CALLWNDPROC, Record, nullptr, GetCurrentThreadId());
    }
    ~MoveRecorder() { UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
        const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call->hwnd == window && call->message == WM_WINDOWPOSCHANGING) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(call->lParam);
            if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
                moves.push_back({pos->x, pos->y, pos->x + pos->cx, pos->y + pos->cy});
                if (auto send = std::exchange(nested, nullptr))
                    send();
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};

// The window's outer rectangle for a client size at a resolution, as the system frames it there.
SIZE OuterSize(HWND window, LONG width, LONG height, int dpi) {
    const auto adjust = platform::win32::User32().AdjustWindowRectExForDpi;
    RECT r{0, 0, width, height};
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
    if (!adjust || !adjust(&r, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return {r.right - r.left, r.bottom - r.top};
}

// Moved to a monitor at another scaling: the layout rule from the design values at the new
// resolution (the font by the ratio, the rest by the text height it measures), the window framed
// as the system frames it there and moved once, to the place the system suggests; the size asked
// for beforehand is the size it takes; and back again. The last change delivered wins: one sent
// from inside that move gets one more layout and move; one sent from inside that second move is
// laid out where the window is, never moved to, however often the monitors hand the window back
// and forth; the icons follow the last. Minimised, a change keeps the place Windows holds for the
// window to come back to. Once the window is the frameless cover, there is no size to suggest, a
// change leaves it covering the screen, and a change of the screen is passed on. Wine sends neither
// WM_DPICHANGED nor WM_DISPLAYCHANGE, so they are sent here.
TEST_F(FormsWindow, MovedToAMonitorAtAnotherScalingIsLaidOutByTheSameRuleInOneMove) {
    auto [form, bar, button, label] = NewDialog();
    form->ScaleForScreen(96, 16);
    const std::wstring status = L"ハードディスクの消去中です．．．";
    label->SetCaption("ハードディスクの消去中です．．．");
    form->Show();
    HWND window = Hwnd(form);

    auto clientBounds = [&](TControl* c) {
        RECT r = WindowRect(Hwnd(c));
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        return std::array<LONG, 4>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    // The design values scaled by the text height GDI itself measures for the font there.
    auto scaleAt = [](int dpi) {
        HFONT font = CreateFontW(-MulDiv(16, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"ＭＳ Ｐゴシック");
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        DeleteObject(font);
        const int k = dpi == 96 ? 16 : metrics.tmHeight;
        return [k](LONG v) { return static_cast<LONG>(MulDiv(v, k, 16)); };
    };
    // The window itself may still be framed for the resolution before (`framedAt`).
    auto expectLaidOutAt = [&](int dpi, LONG left, LONG top, int framedAt = 0) {
        const auto scaled = scaleAt(dpi), framed = scaleAt(framedAt ? framedAt : dpi);
        const SIZE outer = OuterSize(window, framed(296), framed(128), framedAt ? framedAt : dpi);
        EXPECT_EQ(Corners(WindowRect(window)),
                  (std::array<LONG, 4>{left, top, left + outer.cx, top + outer.cy}));
        EXPECT_EQ(clientBounds(bar),
                  (std::array<LONG, 4>{scaled(8), scaled(64), scaled(281), scaled(17)}));
        EXPECT_EQ(clientBounds(button),
                  (std::array<LONG, 4>{scaled(104), scaled(96), scaled(89), scaled(25)}));
        EXPECT_EQ(clientBounds(label),
                  (std::array<LONG, 4>{scaled(8), scaled(16), DrawnTextWidth(Hwnd(label), status),
                                       scaled(16)}));
        return outer;
    };
    auto dpiChanged = [&](int dpi, RECT suggested) {
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    };
    RECT suggested{100, 80, 700, 480};
    for (int dpi : {192, 96}) {
        SCOPED_TRACE(dpi);
        SIZE asked{0, 0};
        EXPECT_TRUE(
            SendMessageW(window, WM_GETDPISCALEDSIZE_, dpi, reinterpret_cast<LPARAM>(&asked)));
        MoveRecorder recorder(window);
        dpiChanged(dpi, suggested);
        EXPECT_EQ(MoveRecorder::moves.size(), 1u);
        const SIZE outer = expectLaidOutAt(dpi, 100, 80);
        EXPECT_EQ((std::array{asked.cx, asked.cy}), (std::array{outer.cx, outer.cy}));
    }

    {
        SCOPED_TRACE("a change from inside the move");
        MoveRecorder recorder(window);
        // From the second move, the window handed back again: laid out for it where it is, not
        // moved a third time.
        MoveRecorder::nested = [&] {
            MoveRecorder::nested = [&] { dpiChanged(192, RECT{500, 500, 600, 600}); };
            dpiChanged(144, RECT{300, 300, 400, 400});
        };
        dpiChanged(192, suggested);
        EXPECT_EQ(MoveRecorder::moves.size(), 2u);
        expectLaidOutAt(192, 300, 300, 144);
        const auto metricForDpi = platform::win32::User32().GetSystemMetricsForDpi;
        ICONINFO icon{};
        ASSERT_TRUE(metricForDpi && GetIconInfo(reinterpret_cast<HICON>(SendMessageW(
                                                    window, WM_GETICON, ICON_SMALL, 0)),
                                                &icon));
        BITMAP bitmap{};
        GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
        DeleteObject(icon.hbmColor);
        DeleteObject(icon.hbmMask);
        EXPECT_EQ(bitmap.bmWidth, metricForDpi(SM_CXSMICON, 192));
    }

    {
        SCOPED_TRACE("minimised");
        ShowWindow(window, SW_MINIMIZE);
        PumpPending();
        // Where it returns to, moved meanwhile (the form's own Left and Top do not follow).
        WINDOWPLACEMENT placement{sizeof placement, 0, 0, {}, {}, {}};
        GetWindowPlacement(window, &placement);
        placement.showCmd = SW_SHOWMINNOACTIVE;
        OffsetRect(&placement.rcNormalPosition, 20, 10);
        SetWindowPlacement(window, &placement);
        dpiChanged(96, RECT{-32000, -32000, -31840, -31972}); // the parked window's, scaled
        ShowWindow(window, SW_RESTORE);
        PumpPending();
        expectLaidOutAt(96, 320, 310);
    }

    // The cover: frameless, the screen's size; a change of scaling keeps it so.
    const SIZE screen = ExpectedScreen();
    form->SetBorderStyle(TBorderStyle::bsNone);
    form->SetBounds(0, 0, screen.cx, screen.cy);
    int displayChanges = 0;
    form->OnDisplayChange = [&](TObject*) { ++displayChanges; };
    SIZE asked{1, 1};
    EXPECT_FALSE(SendMessageW(window, WM_GETDPISCALEDSIZE_, 192, reinterpret_cast<LPARAM>(&asked)));
    dpiChanged(192, RECT{0, 0, screen.cx / 2, screen.cy / 2});
    EXPECT_EQ(Corners(WindowRect(window)), (std::array<LONG, 4>{0, 0, screen.cx, screen.cy}));
    SendMessageW(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(screen.cx, screen.cy));
    EXPECT_EQ(displayChanges, 2);
}

TEST_F(FormsWindow, OnShowRunsBeforeTheWindowIsVisibleAtEveryShow) {
    TTestForm* form = NewForm(200, 100);
    std::vector<bool> visibleInOnShow;
    form->OnShow = [&](TObject*) { visibleInOnShow.push_back(IsWindowVisible(Hwnd(form))); };

    EXPECT_FALSE(IsWindowVisible(Hwnd(form))); // created hidden
    form->Show();
    EXPECT_TRUE(IsWindowVisible(Hwnd(form)));
    form->Hide();
    EXPECT_FALSE(IsWindowVisible(Hwnd(form)));
    form->Show();
    EXPECT_TRUE(IsWindowVisible(Hwnd(form)));
    EXPECT_EQ(visibleInOnShow, (std::vector<bool>{false, false}));
}

TEST_F(FormsWindow, ScreenCentredAtTheFirstShowOnlyLaterShowsKeepWhereTheWindowWas) {
    TTestForm* form = NewForm();
    form->SetPosition(TPosition::poScreenCenter);
    form->SetBounds(326, 221, 302, 153);
    form->Show();
    const SIZE screen = ExpectedScreen();
    EXPECT_EQ(Corners(WindowRect(Hwnd(form))),
              (std::array<LONG, 4>{(screen.cx - 302) / 2, (screen.cy - 153) / 2,
                                   (screen.cx - 302) / 2 + 302, (screen.cy - 153) / 2 + 153}));

    // Moved as the user would drag it, then hidden and shown again.
    SetWindowPos(Hwnd(form), nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PumpPending();
    form->Hide();
    form->Show();
    EXPECT_EQ(Corners(WindowRect(Hwnd(form))), (std::array<LONG, 4>{20, 30, 322, 183}));
    EXPECT_EQ((std::array{form->Left(), form->Top()}), (std::array{20, 30}));
}

TEST_F(FormsWindow, CoverScreenHasNoFrameCoversTheScreenInBlueAndStaysOnTop) {
    auto [form, bar, button, label] = NewDialog();
    label->SetCaption("x");
    form->Show();

    form->Hide();
    label->Hide();
    form->SetBorderStyle(TBorderStyle::bsNone);
    form->SetLeft(0);
    form->SetTop(0);
    form->SetWidth(Screen->Width());
    form->SetHeight(Screen->Height());
    form->SetColor(0xFF0000);
    form->Show();
    HWND window = Hwnd(form);

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG ex = GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME), 0);
    EXPECT_EQ(ex & WS_EX_DLGMODALFRAME, 0);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    const SIZE screen = ExpectedScreen();
    EXPECT_EQ(Screen->Width(), screen.cx);
    EXPECT_EQ(Screen->Height(), screen.cy);
    const std::array<LONG, 4> whole{0, 0, Screen->Width(), Screen->Height()};
    EXPECT_EQ(Corners(WindowRect(window)), whole);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(Corners(client), whole);

    // The background is painted pure blue, also where the hidden label was.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, Screen->Width() / 2, Screen->Height() / 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 10, 20), RGB(0, 0, 255));
    ReleaseDC(window, dc);
}

TEST_F(FormsWindow, MaximisedRequestIsUndoneByOnShowBeforeTheWindowAppears) {
    TTestForm* form = NewForm(200, 100);
    form->OnShow = [&](TObject*) { form->SetWindowState(TWindowState::wsNormal); };
    form->SetWindowState(TWindowState::wsMaximized);
    form->Show();
    EXPECT_FALSE(IsZoomed(Hwnd(form)));
    EXPECT_EQ(WindowRect(Hwnd(form)).right - WindowRect(Hwnd(form)).left, form->Width());

    form->OnShow = nullptr;
    form->Hide();
    form->Show();
    EXPECT_FALSE(IsZoomed(Hwnd(form)));
    form->SetWindowState(TWindowState::wsMaximized); // while visible: applied at once
    EXPECT_TRUE(IsZoomed(Hwnd(form)));
    form->SetWindowState(TWindowState::wsNormal);
    EXPECT_FALSE(IsZoomed(Hwnd(form)));
}

// A minimised start shows the window iconic without OnShow; restoring it, by the system menu's
// Restore or by a plain restore of the window, runs OnShow once and centres the window.
TEST_F(FormsWindow, MinimisedStartRunsOnShowOnlyWhenRestored) {
    for (const bool bySystemCommand : {true, false}) {
        SCOPED_TRACE(bySystemCommand ? "SC_RESTORE" : "SW_RESTORE");
        auto* form = new TTestForm(app.get());
        form->SetPosition(TPosition::poScreenCenter);
        form->SetClientSize(296, 128);
        int shows = 0;
        bool iconicInOnShow = false;
        form->OnShow = [&](TObject*) {
            ++shows;
            iconicInOnShow = IsIconic(Hwnd(form));
        };
        form->ShowMinimizedPending();
        PumpPending();
        EXPECT_TRUE(IsIconic(Hwnd(form)));
        EXPECT_EQ(shows, 0);
        EXPECT_TRUE(form->ShowPending());

        if (bySystemCommand)
            PostMessageW(Hwnd(form), WM_SYSCOMMAND, SC_RESTORE, 0);
        else
            ShowWindow(Hwnd(form), SW_RESTORE);
        EXPECT_TRUE(PumpUntil([&] { return shows > 0; }));
        PumpPending();
        EXPECT_EQ(shows, 1);
        if (bySystemCommand) {
            EXPECT_TRUE(iconicInOnShow); // the window comes back after OnShow
        }
        EXPECT_FALSE(form->ShowPending());
        EXPECT_FALSE(IsIconic(Hwnd(form)));
        EXPECT_TRUE(IsWindowVisible(Hwnd(form)));
        EXPECT_EQ(form->WindowState(), TWindowState::wsNormal);
        const RECT r = WindowRect(Hwnd(form));
        EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - form->Width()) / 2);
        EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - form->Height()) / 2);
        delete form;
    }
}

} // namespace
