#pragma once
// The main window as designed (pixels at 96 dots per inch, where the font measures a text
// height of 16). The constructor of TForm1 applies it, then scales it for the screen.
#include <string_view>

#include "forms/forms.h"
#include "show/texts.h"

namespace ui {

struct Bounds {
    int left, top, width, height;
};

struct Form1Layout {
    std::string_view caption;
    int designLeft, designTop; // stored but ignored: the first show centres the window
    int clientWidth, clientHeight;
    forms::TBorderStyle borderStyle;
    forms::TFormStyle formStyle;
    forms::TPosition position;
    forms::TColor color;
    std::string_view fontName;
    int fontHeight;
    int fontCharset;
    forms::TColor fontColor;
    int designPixelsPerInch;
    int designTextHeight;

    Bounds label; // the width follows the text
    Bounds progressBar;
    int barMin, barMax, barPosition, barTabOrder;
    Bounds cancelButton;
    std::string_view cancelCaption;
    int cancelTabOrder;
    unsigned timerInterval;
    bool timerEnabled;
};

inline constexpr int kShiftJisCharset = 128;

inline constexpr Form1Layout kForm1Layout{
    .caption = show::texts::kProgramName,
    .designLeft = 326,
    .designTop = 221,
    .clientWidth = 296,
    .clientHeight = 128,
    .borderStyle = forms::TBorderStyle::bsDialog,
    .formStyle = forms::TFormStyle::fsStayOnTop,
    .position = forms::TPosition::poScreenCenter,
    .color = forms::clBtnFace,
    .fontName = show::texts::kFontName,
    .fontHeight = 16,
    .fontCharset = kShiftJisCharset,
    .fontColor = forms::clWindowText,
    .designPixelsPerInch = 96,
    .designTextHeight = 16,
    .label = {8, 16, 0, 16},
    .progressBar = {8, 64, 281, 17},
    .barMin = 0,
    .barMax = 24,
    .barPosition = 0,
    .barTabOrder = 0,
    .cancelButton = {104, 96, 89, 25},
    .cancelCaption = show::texts::kCancelCaption,
    .cancelTabOrder = 1,
    .timerInterval = 125,
    .timerEnabled = false,
};

} // namespace ui
