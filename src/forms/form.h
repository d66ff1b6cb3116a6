#pragma once
// Top-level window with its components.
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/control.h"

namespace forms {

enum class TBorderStyle { bsDialog, bsNone };
enum class TFormStyle { fsNormal, fsStayOnTop };
enum class TPosition { poDesigned, poScreenCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

struct TFont {
    std::string name = "Tahoma"; // UTF-8
    int height = 13;             // character height in pixels
    int charset = 1;             // DEFAULT_CHARSET; 128 is SHIFTJIS_CHARSET
    TColor color = clWindowText;
};

// What each backend defines for a form is listed in forms/backend.h.
class TForm : public TControl {
public:
    // `className` names the window class ("TForm1"). The window is made hidden when first
    // needed: at the first show, a minimised start, a focus request or an ask for the handle.
    TForm(TComponent* owner, std::string className);
    ~TForm() override; // releases the window

    // The backend's state of this form (its type is the backend's), made with the form.
    struct BackendData;
    BackendData* Backend() const { return backend_.get(); }

    const std::string& ClassName() const { return className_; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    int ClientWidth() const { return width_ - FrameWidth(); }
    int ClientHeight() const { return height_ - FrameHeight(); }
    void SetClientSize(int width, int height);

    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle style);
    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition position) { position_ = position; }
    TColor Color() const { return color_; }
    void SetColor(TColor color);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font); // the form's controls use the form's font

    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState state);

    // Show() (inherited) raises OnShow every time the window becomes visible, before it appears;
    // the first show centres a poScreenCenter form. Hide() makes it invisible without closing.

    // Gives the window the keyboard focus, which goes on to its first control in tab order
    // that takes it (a visible tab stop), or stays on the window when there is none.
    void SetFocus();
    // The controls in tab order, and the one a focus given to the form lands on (null: none).
    std::vector<TControl*> TabOrdered() const;
    TControl* FirstTabStop() const;

    // Asks OnCloseQuery; when the close is allowed the form is hidden and, for the main form, the
    // application terminates. Returns whether the form closed.
    bool Close();
    // Only the close query: whether a close would be allowed now (also used at session end).
    bool CloseQuery();

    TNotifyEvent OnShow;
    TCloseQueryEvent OnCloseQuery;

    const std::vector<TControl*>& Controls() const { return controls_; }

    // Design-time scaling: when the screen's resolution differs from `designDpi`, the font height
    // is scaled by the ratio; when the font then measures a text height other than
    // `designTextHeight`, the controls' bounds and the client size are scaled by that ratio. The
    // form keeps the design values and lays itself out for the resolution of its window's monitor
    // once the window is made (the primary monitor's at start).
    void ScaleForScreen(int designDpi, int designTextHeight);
    // The resolution the layout is for: 0 before any.
    int PixelsPerInch() const { return pixelsPerInch_; }

    // The layout the rule gives at a resolution, computed from the design values without changing
    // anything: the font, every control's bounds (in the order of Controls()), the client size and
    // the outer size, framed as the system frames the window there. None before ScaleForScreen,
    // for a resolution of 0 or less, and for a form the rule no longer shapes (it became
    // frameless). The one computation behind every change of resolution.
    struct Layout {
        TFont font;
        std::vector<std::array<int, 4>> controls; // left, top, width, height
        int clientWidth = 0, clientHeight = 0;
        int width = 0, height = 0;
    };
    std::optional<Layout> LayoutAt(int dpi) const;

    // The window was moved to a monitor at `dpi` and the system suggests its new top-left (the
    // backend passes the top-left of the place the window returns to while it is minimised or
    // maximised): the controls and the font laid out again, then the window moved once, to that
    // corner in the size the rule gives there. The last resolution delivered is always the one
    // laid out: a change that comes while the window moves (resized, it tipped onto another
    // monitor) is laid out and moved to in turn, but the window moves at most twice, so two
    // monitors cannot bounce it between them; past that the controls and the font still follow
    // the last change, where the window is. A form the rule no longer shapes raises
    // OnDisplayChange instead. The backend's ResolutionApplied runs once at the end.
    void ResolutionChanged(int dpi, int left, int top);
    // The screen changed its size (a resolution change, a monitor docked or undocked): raises
    // OnDisplayChange. Called by the backend.
    void DisplayChanged();
    // Raised when the screen changes size, and when a form the layout rule does not shape is
    // moved to another resolution: a form that covers the screen places itself again.
    TNotifyEvent OnDisplayChange;

    // The text height and width the form's font measures for `text` (no window needed).
    int MeasureTextHeight() const { return MeasureFontHeight(font_); }
    int MeasureTextWidth(const std::string& text) const;

    // The window shows (iconic, not activated) without raising OnShow; OnShow runs when it is
    // first restored. Used for a start-up request to show minimised.
    void ShowMinimizedPending();
    bool ShowPending() const { return showPending_; }
    // Called by the backend when a pending window is restored by the user.
    void RestoredFromPending();

protected:
    void BoundsChanged() override;
    void VisibleChanged() override;
    void CreateHandle() override; // the window, then its controls' windows

private:
    friend class TControl;
    friend struct BackendContract;
    struct BackendDeleter {
        void operator()(BackendData* data) const;
    };
    BackendData* NewBackendData();

    // The non-client width and height for the border style at a resolution (0: the system's).
    // At the resolution the layout is for, that is the frame a move to another monitor is about
    // to give the window, not the one it had.
    int FrameWidth() const { return FrameWidthAt(pixelsPerInch_); }
    int FrameHeight() const { return FrameHeightAt(pixelsPerInch_); }
    int FrameWidthAt(int dpi) const;
    int FrameHeightAt(int dpi) const;
    int MeasureFontHeight(const TFont& font) const;
    // The layout at `dpi` applied: the font and the controls, and the window's size at its
    // top-left (for the screen at start, and for the monitor the window was made on).
    void LayOutFor(int dpi);
    // The font and the controls of a layout; the window itself is left to the caller.
    void PlaceControls(int dpi, const Layout& layout);
    void CaptionChanged();
    void StyleChanged(); // border style, form style
    void ColorChanged();
    void FontChanged();
    void WindowStateChanged();
    void FocusNow();
    void TabOrderChanged();       // the windows follow the tab order
    void ApplyBounds();           // moves and sizes the window to the stored bounds
    void ApplyVisible();          // shows (in WindowState()) or hides the window
    void ApplyMinimizedPending(); // shows the window minimised without activating it
    void ResolutionApplied();     // the window's icons for PixelsPerInch(), after a change

    std::string className_;
    std::string caption_;
    TBorderStyle borderStyle_ = TBorderStyle::bsDialog;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    TPosition position_ = TPosition::poDesigned;
    TColor color_ = clBtnFace;
    TFont font_;
    TWindowState windowState_ = TWindowState::wsNormal;
    bool shownOnce_ = false;
    bool showPending_ = false;
    std::vector<TControl*> controls_;
    struct Design {
        int dpi, textHeight, fontHeight, clientWidth, clientHeight;
        std::vector<std::array<int, 4>> controls; // left, top, width, height
    };
    std::optional<Design> design_;
    int pixelsPerInch_ = 0;
    bool resolutionChanging_ = false; // inside ResolutionChanged
    struct ResolutionChange {
        int dpi, left, top;
    };
    std::optional<ResolutionChange> nestedChange_; // the last one delivered during a move
    std::unique_ptr<BackendData, BackendDeleter> backend_;
};

} // namespace forms
