// Fills in a freshly registered event; inert, like the type builder, for a repeated name.
#pragma once

#include "binding/binding_described_builder.h"
#include "binding/binding_event.h"

namespace kiv {

class BindingEventBuilder : public BindingDescribedBuilder<BindingEventBuilder, BindingEvent> {
  public:
    BindingEventBuilder(BindingEvent& event, bool alreadyRegistered) noexcept
        : BindingDescribedBuilder(event, alreadyRegistered) {}

    const BindingEvent& event() const noexcept { return *target_; }
};

} // namespace kiv
