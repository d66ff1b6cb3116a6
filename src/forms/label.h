#pragma once
// Static text whose width follows its text (auto-size); height stays as set.
#include <string>

#include "forms/control.h"

namespace forms {

class TLabel : public TControl {
public:
    explicit TLabel(TForm* parent); // backend: the window is made when first needed
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption); // sets the text and the width the text measures

protected:
    void CreateHandle() override; // backend

private:
    void CaptionChanged(); // backend: shows the new text
    std::string caption_;
};

} // namespace forms
