// The sizes of the resources a served world stores, as the JSON text of their values: the store
// holds at most kMaxResources paths and kMaxResourceBytes, so that clients putting ever new paths
// or large values cannot grow the server without bound.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace kiv::kivhost {

class ResourceBudget {
  public:
    void clear();
    // Whether storing `bytes` at the path (replacing what is there) stays within the limits.
    bool fits(const std::string& path, std::size_t bytes) const;
    void store(const std::string& path, std::size_t bytes);
    void erase(const std::string& path);

  private:
    std::map<std::string, std::size_t> sizes_;
    std::size_t total_ = 0;
};

} // namespace kiv::kivhost
