#pragma once
// The screen the program runs on.
namespace forms {

// Each backend defines all three.
class TScreen {
public:
    int Width() const; // pixels
    int Height() const;
    int PixelsPerInch() const;
};

extern TScreen* Screen;

} // namespace forms
