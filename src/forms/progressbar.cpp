#include "forms/progressbar.h"

#include <algorithm>

namespace forms {

TProgressBar::TProgressBar(TForm* parent) : TControl(parent) {
    AppearOnShownParent();
}

void TProgressBar::SetMin(int v) {
    if (v == min_)
        return;
    min_ = v;
    max_ = std::max(max_, min_);
    position_ = std::clamp(position_, min_, max_);
    RangeChanged();
}

void TProgressBar::SetMax(int v) {
    if (v == max_)
        return;
    max_ = v;
    min_ = std::min(min_, max_);
    position_ = std::clamp(position_, min_, max_);
    RangeChanged();
}

void TProgressBar::SetPosition(int v) {
    v = std::clamp(v, min_, max_);
    if (v == position_)
        return;
    position_ = v;
    PositionChanged();
}

void TProgressBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp)
        OnMouseUp(this, button, shift, x, y);
}

} // namespace forms
