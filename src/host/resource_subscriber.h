// The root interface of every plugin object: something that can subscribe to resource paths.
#pragma once

#include <string_view>

namespace kiv {

class ResourceSubscriber {
  public:
    virtual void subscribe(std::string_view /*path*/) {}
    virtual void unsubscribe(std::string_view /*path*/) {}

  protected:
    ResourceSubscriber() = default;
    ~ResourceSubscriber() = default;
    ResourceSubscriber(const ResourceSubscriber&) = default;
    ResourceSubscriber& operator=(const ResourceSubscriber&) = default;
};

} // namespace kiv
