#pragma once
// The screen the program runs on.
namespace forms {

class TScreen {
public:
    int Width() const;         // backend, pixels
    int Height() const;        // backend, pixels
    int PixelsPerInch() const; // backend
};

extern TScreen* Screen;

} // namespace forms
