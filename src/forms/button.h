#pragma once
// Push button.
#include <string>

#include "forms/control.h"

namespace forms {

class TButton : public TControl {
public:
    explicit TButton(TForm* parent); // backend: creates the control
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    TNotifyEvent OnClick;
    // Raised by the backend when the button is pressed.
    void Click();

private:
    void CaptionChanged(); // backend
    std::string caption_;
};

} // namespace forms
