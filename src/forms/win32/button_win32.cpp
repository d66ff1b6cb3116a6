#include "forms/button.h"

#include "forms/form.h"
#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

// A plain push button: neither the default nor the cancel button of its form. Clicks arrive as
// BN_CLICKED at the form's window procedure.
void TButton::CreateHandle() {
    handle_ = CreateChild(this, L"BUTTON", caption_, WS_TABSTOP | BS_PUSHBUTTON);
}

void TButton::CaptionChanged() {
    if (handle_)
        SetWindowTextW(static_cast<HWND>(handle_), Widen(caption_).c_str());
}

} // namespace forms
