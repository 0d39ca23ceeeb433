#include "binding/binding_event_builder.h"

#include "binding/binding_tags.h"

#include <array>

namespace kiv {

BindingEventBuilder& BindingEventBuilder::setDescription(std::string_view description) {
    if (!alreadyRegistered_) {
        event_->description = description;
    }
    return *this;
}

BindingEventBuilder& BindingEventBuilder::setNamespace(std::string_view nameSpace) {
    if (!alreadyRegistered_) {
        event_->nameSpace = nameSpace;
    }
    return *this;
}

BindingEventBuilder& BindingEventBuilder::addTags(std::string_view first, std::string_view second,
                                                  std::string_view third, std::string_view fourth) {
    if (!alreadyRegistered_) {
        const std::array<std::string_view, 4> tags = {first, second, third, fourth};
        appendTags(event_->tags, tags);
    }
    return *this;
}

BindingEventBuilder& BindingEventBuilder::addTagList(std::span<const std::string> tags) {
    if (!alreadyRegistered_) {
        appendTags(event_->tags, tags);
    }
    return *this;
}

} // namespace kiv
