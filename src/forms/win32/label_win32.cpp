#include "forms/label.h"

#include "forms/form.h"
#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

void TLabel::CreateHandle() {
    // One line only: the width is exactly the measured text's, and a word-wrapping static may
    // still break such a line (Wine cut the mail phase's status line after its 14th character)
    // and hide the rest below the label's 16 pixels.
    handle_ = CreateChild(this, L"STATIC", caption_, SS_LEFTNOWORDWRAP | SS_NOPREFIX);
}

void TLabel::CaptionChanged() {
    if (handle_)
        SetWindowTextW(static_cast<HWND>(handle_), Widen(caption_).c_str());
}

} // namespace forms
