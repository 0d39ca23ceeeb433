// Other plugins' resources as the platform holds them: a value per path.
#pragma once

#include "value/value.h"

#include <map>
#include <string>
#include <string_view>

namespace kiv::kivhost {

class ResourceStore {
  public:
    void put(const std::string& path, const Value& value) { values_[path] = value; }
    void erase(std::string_view path) {
        if (const auto found = values_.find(path); found != values_.end()) {
            values_.erase(found);
        }
    }
    const Value* find(std::string_view path) const {
        const auto found = values_.find(path);
        return found == values_.end() ? nullptr : &found->second;
    }
    // Every stored resource, in path order.
    const std::map<std::string, Value, std::less<>>& all() const noexcept { return values_; }

  private:
    std::map<std::string, Value, std::less<>> values_;
};

} // namespace kiv::kivhost
