#include "forms/form.h"

#include <algorithm>
#include <climits>

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
        if (!shownOnce_ && position_ == TPosition::poScreenCenter && Screen) {
            left_ = (Screen->Width() - width_) / 2;
            top_ = (Screen->Height() - height_) / 2;
            ApplyBounds();
        }
        shownOnce_ = true;
        showPending_ = false;
        // OnShow finds the window there (hidden still), as code asking for handles expects.
        HandleNeeded();
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
    const int ppi = Screen ? Screen->PixelsPerInch() : designPixelsPerInch;
    if (ppi == designPixelsPerInch || designPixelsPerInch <= 0 || designTextHeight <= 0)
        return;
    TFont font = font_;
    font.height = MulDiv(font.height, ppi, designPixelsPerInch);
    SetFont(font);
    const int measured = MeasureTextHeight();
    if (measured == designTextHeight || measured <= 0)
        return;
    auto scale = [&](int v) { return MulDiv(v, measured, designTextHeight); };
    for (TControl* c : controls_)
        c->SetBounds(scale(c->Left()), scale(c->Top()), scale(c->Width()), scale(c->Height()));
    SetClientSize(scale(ClientWidth()), scale(ClientHeight()));
}

} // namespace forms
