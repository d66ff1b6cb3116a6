#pragma once
// Push button.
#include <string>

#include "forms/control.h"

namespace forms {

class TButton : public TControl {
public:
    friend struct BackendContract;   // the backend's members: forms/backend.h
    explicit TButton(TForm* parent); // the window is made when first needed
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool TabStop() const override { return true; }

    TNotifyEvent OnClick;
    // Raised by the backend when the button is pressed.
    void Click();

protected:
    void CreateHandle() override;

private:
    void CaptionChanged(); // shows the new text
    std::string caption_;
};

} // namespace forms
