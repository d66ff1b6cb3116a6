#pragma once
// A visual component placed on a form: bounds, visibility, tab order.
#include "forms/types.h"

namespace forms {

class TForm;

class TControl : public TComponent {
public:
    friend struct BackendContract; // the backend's members: forms/backend.h
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

    // Position among the form's controls when the keyboard moves between them (-1: after every
    // ordered one, in placement order).
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int order);
    // Whether the keyboard stops at the control (Tab, and a form being given the focus).
    virtual bool TabStop() const { return false; }
    // The form's font changed after the control was laid out (a label measures its text again).
    virtual void ParentFontChanged() {}

    // Backend handle: the HWND on Win32, null headless. Windows are made when first needed
    // (asked for here, or when the form is shown or focused), not when the object is built, so
    // the program can ask its opening question before paying for its window.
    void* Handle() {
        HandleNeeded();
        return handle_;
    }
    bool HandleAllocated() const { return handle_ != nullptr; }
    // Makes the window now if it does not exist yet, with every stored value applied; a
    // control's form makes its own window first (and with it every control's).
    void HandleNeeded();

protected:
    // Run after the stored value changed. The Win32 backend moves or shows the window when
    // there is one (the stored values are applied when it is made); the headless backend has
    // nothing to do.
    virtual void BoundsChanged();
    virtual void VisibleChanged();
    // Makes this object's own window; a control's form already has one.
    virtual void CreateHandle();
    // Releases the handle (called from the destructor).
    void DestroyHandle();
    // For the constructors of the concrete controls: placed on a form that is already on
    // screen, the control appears at once.
    void AppearOnShownParent();

    void* handle_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;

private:
    TForm* parent_;
    int tabOrder_ = -1;
};

} // namespace forms
