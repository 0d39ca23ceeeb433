#include "kivhost/serve/resource_budget.h"

#include "kivhost/serve/serve_limits.h"

namespace kiv::kivhost {

void ResourceBudget::clear() {
    sizes_.clear();
    total_ = 0;
}

bool ResourceBudget::fits(const std::string& path, std::size_t bytes) const {
    const auto stored = sizes_.find(path);
    const std::size_t replaced = stored == sizes_.end() ? 0 : stored->second;
    const std::size_t paths = sizes_.size() + (stored == sizes_.end() ? 1 : 0);
    return paths <= kMaxResources && total_ - replaced + bytes <= kMaxResourceBytes;
}

void ResourceBudget::store(const std::string& path, std::size_t bytes) {
    std::size_t& size = sizes_[path];
    total_ = total_ - size + bytes;
    size = bytes;
}

void ResourceBudget::erase(const std::string& path) {
    const auto stored = sizes_.find(path);
    if (stored != sizes_.end()) {
        total_ -= stored->second;
        sizes_.erase(stored);
    }
}

} // namespace kiv::kivhost
