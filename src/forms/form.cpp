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
    if (!deferBounds_)
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

void TForm::ScaleForScreen(int designPixelsPerInch, int designTextHeight) {
    if (designPixelsPerInch <= 0 || designTextHeight <= 0)
        return;
    Design design{designPixelsPerInch, designTextHeight, font_.height,
                  ClientWidth(),       ClientHeight(),   {}};
    for (TControl* c : controls_)
        design.controls.push_back({c->Left(), c->Top(), c->Width(), c->Height()});
    design_ = std::move(design);
    ScaleForResolution(Screen ? Screen->PixelsPerInch() : designPixelsPerInch);
}

int TForm::TextHeightAt(int pixelsPerInch, TFont& font) const {
    const Design& design = *design_;
    // The font by the ratio of the resolutions; the rest by the text height it then measures.
    font = font_;
    font.height = MulDiv(design.fontHeight, pixelsPerInch, design.pixelsPerInch);
    if (pixelsPerInch == design.pixelsPerInch)
        return design.textHeight;
    const int height = MeasureFontHeight(font);
    return height > 0 ? height : design.textHeight;
}

void TForm::ScaleForResolution(int pixelsPerInch) {
    if (!design_ || pixelsPerInch <= 0)
        return;
    const Design& design = *design_;
    TFont font;
    const int measured = TextHeightAt(pixelsPerInch, font);
    pixelsPerInch_ = pixelsPerInch;
    if (font.height != font_.height)
        SetFont(font);
    auto scale = [&](int v) { return MulDiv(v, measured, design.textHeight); };
    for (size_t i = 0; i < controls_.size() && i < design.controls.size(); ++i) {
        const auto& [left, top, width, height] = design.controls[i];
        controls_[i]->SetBounds(scale(left), scale(top), scale(width), scale(height));
        controls_[i]->ParentFontChanged(); // a label measures its text again
    }
    SetClientSize(scale(design.clientWidth), scale(design.clientHeight));
}

std::optional<std::array<int, 2>> TForm::SizeForResolution(int pixelsPerInch) const {
    if (!design_ || pixelsPerInch <= 0)
        return std::nullopt;
    TFont font;
    const int measured = TextHeightAt(pixelsPerInch, font);
    return std::array{MulDiv(design_->clientWidth, measured, design_->textHeight) +
                          FrameWidthAt(pixelsPerInch),
                      MulDiv(design_->clientHeight, measured, design_->textHeight) +
                          FrameHeightAt(pixelsPerInch)};
}

void TForm::DisplayChanged() {
    if (OnDisplayChange)
        OnDisplayChange(this);
}

void TForm::ResolutionChanged(int pixelsPerInch, int left, int top) {
    if (pixelsPerInch <= 0)
        return;
    if (resolutionChanging_) {
        nestedChange_ = ResolutionChange{pixelsPerInch, left, top};
        return;
    }
    struct Flag {
        bool& flag;
        explicit Flag(bool& f) : flag(f) { flag = true; }
        ~Flag() { flag = false; }
    };
    const Flag changing(resolutionChanging_);
    nestedChange_.reset();
    if (!design_) {
        // Nothing to lay out; whoever shaped the form places it again.
        pixelsPerInch_ = pixelsPerInch;
        DisplayChanged();
        nestedChange_.reset();
        return;
    }
    ResolutionChange change{pixelsPerInch, left, top};
    for (int move = 0; move < 2; ++move) {
        {
            // The controls and the font first; the window's new size is only stored, so that it
            // moves once, where the system suggests.
            const Flag deferred(deferBounds_);
            ScaleForResolution(change.pixelsPerInch);
        }
        left_ = change.left;
        top_ = change.top;
        ApplyBounds();
        const auto nested = std::exchange(nestedChange_, std::nullopt);
        if (!nested || nested->pixelsPerInch == pixelsPerInch_)
            break;
        change = *nested;
    }
}

} // namespace forms
