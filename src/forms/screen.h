#pragma once
// The screen the program runs on.
namespace forms {

// What each backend defines: forms/backend.h.
class TScreen {
public:
    int Width() const; // pixels
    int Height() const;
    int PixelsPerInch() const;
};

extern TScreen* Screen;

} // namespace forms
