#pragma once
// Horizontal progress bar (minimum 0) that reports mouse-button releases over it.
#include "forms/control.h"

namespace forms {

class TProgressBar : public TControl {
public:
    friend struct BackendContract;        // the backend's members: forms/backend.h
    explicit TProgressBar(TForm* parent); // the window is made when first needed

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // As the native control does: the position stays within [Min, Max].
    void SetMin(int v);
    void SetMax(int v);
    void SetPosition(int v);

    TMouseEvent OnMouseUp;
    // Raised by the backend when a mouse button is released over the bar.
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y);

protected:
    void CreateHandle() override;

private:
    void RangeChanged();    // shows the new range (and the position it clamped)
    void PositionChanged(); // shows the new position
    int min_ = 0, max_ = 100, position_ = 0;
};

} // namespace forms
