// What the type and event builders share: a target registered under a name, its description,
// namespace and tags, and the inert mode of a builder for a name that was already registered.
#pragma once

#include "binding/binding_tags.h"

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace kiv {

template <class Builder, class Target> class BindingDescribedBuilder {
  public:
    [[nodiscard]] bool alreadyRegistered() const noexcept { return alreadyRegistered_; }

    Builder& setDescription(std::string_view description) {
        if (!alreadyRegistered_) {
            target_->description = description;
        }
        return self();
    }
    Builder& setNamespace(std::string_view nameSpace) {
        if (!alreadyRegistered_) {
            target_->nameSpace = nameSpace;
        }
        return self();
    }
    // Appends each non-empty text, in order.
    Builder& addTags(std::string_view first, std::string_view second = {}, std::string_view third = {},
                     std::string_view fourth = {}) {
        if (!alreadyRegistered_) {
            const std::array<std::string_view, 4> tags = {first, second, third, fourth};
            appendTags(target_->tags, tags);
        }
        return self();
    }
    Builder& addTagList(std::span<const std::string> tags) {
        if (!alreadyRegistered_) {
            appendTags(target_->tags, tags);
        }
        return self();
    }

  protected:
    BindingDescribedBuilder(Target& target, bool alreadyRegistered) noexcept
        : target_(&target), alreadyRegistered_(alreadyRegistered) {}

    Target* target_;
    bool alreadyRegistered_;

  private:
    Builder& self() noexcept { return static_cast<Builder&>(*this); }
};

} // namespace kiv
