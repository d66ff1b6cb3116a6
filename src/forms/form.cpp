#include "forms/form.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "forms/application.h"
#include "forms/screen.h"

namespace forms {

namespace {
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}
} // namespace

TForm::TForm(TComponent* owner, std::string className)
    : TControl(owner, nullptr), className_(std::move(className)), backend_(NewBackendData()) {
    visible_ = false; // made hidden, when first needed
}

void TForm::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    CaptionChanged();
}

void TForm::SetClientSize(int width, int height) {
    SetBounds(left_, top_, width + FrameWidth(), height + FrameHeight());
}

void TForm::SetBorderStyle(TBorderStyle style) {
    if (style == borderStyle_)
        return;
    // The client area keeps its size only while the frame does; the window's outer bounds stay.
    // The layout rule shapes a framed window: one that loses its frame is laid out by whoever
    // took it, and a change of resolution must not shrink it back into the dialog.
    if (style == TBorderStyle::bsNone)
        design_.reset();
    borderStyle_ = style;
    StyleChanged();
}

void TForm::SetFormStyle(TFormStyle style) {
    if (style == formStyle_)
        return;
    formStyle_ = style;
    StyleChanged();
}

void TForm::SetColor(TColor color) {
    if (color == color_)
        return;
    color_ = color;
    ColorChanged();
}

void TForm::SetFont(const TFont& font) {
    font_ = font;
    FontChanged();
}

void TForm::SetWindowState(TWindowState state) {
    if (state == windowState_)
        return;
    windowState_ = state;
    WindowStateChanged();
}

void TForm::SetFocus() {
    FocusNow();
}

std::vector<TControl*> TForm::TabOrdered() const {
    std::vector<TControl*> ordered = controls_;
    std::stable_sort(ordered.begin(), ordered.end(), [](const TControl* a, const TControl* b) {
        const auto key = [](const TControl* c) {
            return c->TabOrder() < 0 ? INT_MAX : c->TabOrder();
        };
        return key(a) < key(b);
    });
    return ordered;
}

TControl* TForm::FirstTabStop() const {
    for (TControl* control : TabOrdered())
        if (control->Visible() && control->TabStop())
            return control;
    return nullptr;
}

bool TForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

bool TForm::Close() {
    if (!CloseQuery())
        return false;
    SetVisible(false);
    if (Application && Application->MainForm() == this)
        Application->Terminate();
    return true;
}

void TForm::BoundsChanged() {
    ApplyBounds();
}

void TForm::VisibleChanged() {
    if (visible_) {
        // OnShow finds the window there (hidden still), as code asking for handles expects; made
        // first, so the window is centred in the size it takes for its monitor.
        HandleNeeded();
        if (!shownOnce_ && position_ == TPosition::poScreenCenter && Screen) {
            left_ = (Screen->Width() - width_) / 2;
            top_ = (Screen->Height() - height_) / 2;
            ApplyBounds();
        }
        shownOnce_ = true;
        showPending_ = false;
        // OnShow runs before the window appears, so it never shows its design-time state.
        if (OnShow)
            OnShow(this);
    }
    ApplyVisible();
}

void TForm::ShowMinimizedPending() {
    showPending_ = true;
    windowState_ = TWindowState::wsMinimized;
    ApplyMinimizedPending();
}

void TForm::RestoredFromPending() {
    if (!showPending_)
        return;
    windowState_ = TWindowState::wsNormal;
    SetVisible(true);
}

void TForm::ScaleForScreen(int designDpi, int designTextHeight) {
    if (designDpi <= 0 || designTextHeight <= 0)
        return;
    Design design{designDpi, designTextHeight, font_.height, ClientWidth(), ClientHeight(), {}};
    for (TControl* c : controls_)
        design.controls.push_back({c->Left(), c->Top(), c->Width(), c->Height()});
    design_ = std::move(design);
    LayOutFor(Screen ? Screen->PixelsPerInch() : designDpi);
}

std::optional<TForm::Layout> TForm::LayoutAt(int dpi) const {
    if (!design_ || dpi <= 0)
        return std::nullopt;
    const Design& design = *design_;
    Layout layout;
    // The font by the ratio of the resolutions; the rest by the text height it then measures.
    layout.font = font_;
    layout.font.height = MulDiv(design.fontHeight, dpi, design.dpi);
    int measured = design.textHeight;
    if (dpi != design.dpi) {
        const int height = MeasureFontHeight(layout.font);
        if (height > 0)
            measured = height;
    }
    auto scale = [&](int v) { return MulDiv(v, measured, design.textHeight); };
    for (const auto& [left, top, width, height] : design.controls)
        layout.controls.push_back({scale(left), scale(top), scale(width), scale(height)});
    layout.clientWidth = scale(design.clientWidth);
    layout.clientHeight = scale(design.clientHeight);
    layout.width = layout.clientWidth + FrameWidthAt(dpi);
    layout.height = layout.clientHeight + FrameHeightAt(dpi);
    return layout;
}

void TForm::PlaceControls(int dpi, const Layout& layout) {
    pixelsPerInch_ = dpi;
    if (layout.font.height != font_.height)
        SetFont(layout.font);
    for (size_t i = 0; i < controls_.size() && i < layout.controls.size(); ++i) {
        const auto& [left, top, width, height] = layout.controls[i];
        controls_[i]->SetBounds(left, top, width, height);
        controls_[i]->ParentFontChanged(); // a label measures its text again
    }
}

void TForm::LayOutFor(int dpi) {
    if (const auto layout = LayoutAt(dpi)) {
        PlaceControls(dpi, *layout);
        SetBounds(left_, top_, layout->width, layout->height);
    }
}

void TForm::DisplayChanged() {
    if (OnDisplayChange)
        OnDisplayChange(this);
}

void TForm::ResolutionChanged(int dpi, int left, int top) {
    if (dpi <= 0)
        return;
    if (resolutionChanging_) {
        // Sent while the window moves for the change being handled: taken up once the move ends.
        nestedChange_ = ResolutionChange{dpi, left, top};
        return;
    }
    const ScopedFlag changing(resolutionChanging_);
    // Two moves at most, so two monitors handing the window back and forth cannot bounce it.
    constexpr int kMaxMoves = 2;
    std::optional<ResolutionChange> change = ResolutionChange{dpi, left, top};
    for (int moves = 0; change; ++moves) {
        nestedChange_.reset();
        const bool move = moves < kMaxMoves;
        if (const auto layout = LayoutAt(change->dpi)) {
            // The controls and the font first, then the window once, where the system suggests.
            PlaceControls(change->dpi, *layout);
            if (move) {
                left_ = change->left;
                top_ = change->top;
                width_ = layout->width;
                height_ = layout->height;
                ApplyBounds();
            }
        } else {
            // Nothing to lay out; whoever shaped the form places it again.
            pixelsPerInch_ = change->dpi;
            if (move)
                DisplayChanged();
        }
        change = std::exchange(nestedChange_, std::nullopt);
        if (!move || (change && change->dpi == pixelsPerInch_))
            break;
    }
    ResolutionApplied();
}

} // namespace forms
