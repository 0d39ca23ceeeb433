// Fills in a freshly registered event; inert, like the type builder, for a repeated name.
#pragma once

#include "binding/binding_event.h"

#include <span>
#include <string>
#include <string_view>

namespace kiv {

class BindingEventBuilder {
  public:
    BindingEventBuilder(BindingEvent& event, bool alreadyRegistered) noexcept
        : event_(&event), alreadyRegistered_(alreadyRegistered) {}

    bool alreadyRegistered() const noexcept { return alreadyRegistered_; }
    const BindingEvent& event() const noexcept { return *event_; }

    BindingEventBuilder& setDescription(std::string_view description);
    BindingEventBuilder& setNamespace(std::string_view nameSpace);
    // Appends each non-empty text, in order.
    BindingEventBuilder& addTags(std::string_view first, std::string_view second = {},
                                 std::string_view third = {}, std::string_view fourth = {});
    BindingEventBuilder& addTagList(std::span<const std::string> tags);

  private:
    BindingEvent* event_;
    bool alreadyRegistered_;
};

} // namespace kiv
