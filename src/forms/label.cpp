#include "forms/label.h"

#include "forms/form.h"

namespace forms {

TLabel::TLabel(TForm* parent) : TControl(parent) {
    AppearOnShownParent();
}

void TLabel::SetCaption(std::string caption) {
    caption_ = std::move(caption);
    CaptionChanged();
    // Auto-size: the width follows the text.
    if (Parent())
        SetWidth(Parent()->MeasureTextWidth(caption_));
}

void TLabel::ParentFontChanged() {
    if (Parent())
        SetWidth(Parent()->MeasureTextWidth(caption_));
}

} // namespace forms
