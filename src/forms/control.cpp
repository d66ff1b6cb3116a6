#include "forms/control.h"

#include <algorithm>

#include "forms/form.h"

namespace forms {

TControl::TControl(TForm* parent) : TComponent(parent), parent_(parent) {
    if (parent_)
        parent_->controls_.push_back(this);
}

TControl::TControl(TComponent* owner, std::nullptr_t) : TComponent(owner), parent_(nullptr) {}

TControl::~TControl() {
    // A form that is being destroyed has already lost its control list; only a control removed
    // from a living form unlists itself.
    if (parent_ && !Owner()->Destroying()) {
        auto& list = parent_->controls_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    DestroyHandle();
}

void TControl::AppearOnShownParent() {
    if (parent_ && parent_->HandleAllocated())
        HandleNeeded();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_)
        return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
}

void TControl::SetTabOrder(int order) {
    if (order == tabOrder_)
        return;
    tabOrder_ = order;
    if (parent_)
        parent_->TabOrderChanged();
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    VisibleChanged();
}

} // namespace forms
