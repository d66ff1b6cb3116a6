#pragma once
// A visual component placed on a form: bounds, visibility, tab order.
#include "forms/types.h"

namespace forms {

class TForm;

class TControl : public TComponent {
public:
    // The control is placed on `parent`, which also owns it.
    explicit TControl(TForm* parent);
    // A top-level control (a form) owned by `owner`.
    TControl(TComponent* owner, std::nullptr_t);
    ~TControl() override;

    TForm* Parent() const { return parent_; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    void SetBounds(int left, int top, int width, int height);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order) { tabOrder_ = order; }

    // Backend handle: the HWND on Win32, null headless.
    void* Handle() const { return handle_; }

protected:
    // Backend hooks, run after the stored value changed. The Win32 backend moves or shows the
    // window; the headless backend has nothing to do.
    virtual void BoundsChanged();
    virtual void VisibleChanged();
    // Backend: releases the handle (called from the destructor).
    void DestroyHandle();

    void* handle_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;

private:
    TForm* parent_;
    int tabOrder_ = -1;
};

} // namespace forms
