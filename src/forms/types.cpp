#include "forms/types.h"

#include <algorithm>

namespace forms {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_)
        owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
    destroying_ = true;
    while (!owned_.empty()) {
        TComponent* last = owned_.back();
        owned_.pop_back();
        delete last;
    }
    if (owner_) {
        auto& siblings = owner_->owned_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

} // namespace forms
