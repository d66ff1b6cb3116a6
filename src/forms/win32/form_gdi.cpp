// A form's GDI objects on Win32: its background brush, the font its controls share, its icons at
// a resolution, and the text measured in its font.
#include "forms/win32/form_data.h"
#include "forms/win32/resolution.h"

namespace forms {

using namespace win32;

namespace {

HFONT MakeFont(const TFont& font) {
    return CreateFontW(-font.height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       static_cast<BYTE>(font.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Widen(font.name).c_str());
}

void FreeIcons(FormData& data) {
    for (HICON* icon : {&data.smallIcon, &data.bigIcon}) {
        if (*icon)
            DestroyIcon(*icon);
        *icon = nullptr;
    }
}

} // namespace

namespace win32 {

void SetBrush(FormData& data, TColor color) {
    if (data.ownBrush && data.brush)
        DeleteObject(data.brush);
    if (color & 0xFF000000u) {
        data.brush = GetSysColorBrush(static_cast<int>(color & 0xFFu));
        data.ownBrush = false;
    } else {
        data.brush = CreateSolidBrush(ToColorRef(color));
        data.ownBrush = true;
    }
}

HICON LoadProgramIcon(int widthMetric, int heightMetric, int dpi, UINT flags) {
    return static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                         MetricAt(widthMetric, dpi), MetricAt(heightMetric, dpi),
                                         flags));
}

void SetProgramIcons(HWND window, FormData& data, int dpi) {
    HICON smallIcon = LoadProgramIcon(SM_CXSMICON, SM_CYSMICON, dpi, 0);
    HICON bigIcon = LoadProgramIcon(SM_CXICON, SM_CYICON, dpi, 0);
    if (!smallIcon || !bigIcon) {
        for (HICON icon : {smallIcon, bigIcon})
            if (icon)
                DestroyIcon(icon);
        return;
    }
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon));
    FreeIcons(data);
    data.smallIcon = smallIcon;
    data.bigIcon = bigIcon;
}

void FreeData(FormData& data) {
    FreeIcons(data);
    if (data.ownBrush && data.brush)
        DeleteObject(data.brush);
    data.brush = nullptr;
    data.ownBrush = false;
    if (data.font)
        DeleteObject(data.font);
    data.font = nullptr;
}

HFONT FormFont(const TForm* form) {
    FormData* data = form ? form->Backend() : nullptr;
    if (!data)
        return nullptr;
    if (!data->font)
        data->font = MakeFont(form->Font());
    return data->font;
}

} // namespace win32

TForm::BackendData* TForm::NewBackendData() {
    auto* data = new BackendData;
    data->form = this;
    return data;
}

void TForm::BackendDeleter::operator()(BackendData* data) const {
    FreeData(*data);
    delete data;
}

int TForm::MeasureFontHeight(const TFont& font) const {
    const bool own =
        font.name == font_.name && font.height == font_.height && font.charset == font_.charset;
    HFONT measured = own ? FormFont(this) : MakeFont(font);
    HDC dc = GetDC(nullptr);
    int height = 0;
    if (dc) {
        HGDIOBJ old = SelectObject(dc, measured);
        TEXTMETRICW metrics{};
        height = GetTextMetricsW(dc, &metrics) ? metrics.tmHeight : 0;
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
    }
    if (!own)
        DeleteObject(measured);
    return height;
}

int TForm::MeasureTextWidth(const std::string& text) const {
    const std::wstring wide = Widen(text);
    if (wide.empty())
        return 0;
    HDC dc = GetDC(nullptr);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, FormFont(this));
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

} // namespace forms
