#include "forms/button.h"

namespace forms {

TButton::TButton(TForm* parent) : TControl(parent) {
    AppearOnShownParent();
}

void TButton::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    CaptionChanged();
}

void TButton::Click() {
    if (OnClick)
        OnClick(this);
}

} // namespace forms
