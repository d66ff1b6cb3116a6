#include "forms/label.h"

#include "forms/win32/backend.h"

namespace forms {

using namespace win32;

TLabel::TLabel(TForm* parent) : TControl(parent) {
    handle_ = CreateChild(this, L"STATIC", caption_, SS_LEFT | SS_NOPREFIX);
}

void TLabel::CaptionChanged() {
    if (handle_)
        SetWindowTextW(static_cast<HWND>(handle_), Widen(caption_).c_str());
}

} // namespace forms
