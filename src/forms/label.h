#pragma once
// Static text whose width follows its text (auto-size); height stays as set.
#include <string>

#include "forms/control.h"

namespace forms {

class TLabel : public TControl {
public:
    friend struct BackendContract;  // the backend's members: forms/backend.h
    explicit TLabel(TForm* parent); // the window is made when first needed
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption); // sets the text and the width the text measures
    void ParentFontChanged() override;    // the width the text measures in the new font

protected:
    void CreateHandle() override;

private:
    void CaptionChanged(); // shows the new text
    std::string caption_;
};

} // namespace forms
