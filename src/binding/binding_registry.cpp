#include "binding/binding_registry.h"

#include "binding/api_export_records.h"

#include <utility>

namespace kiv {

BindingRegistry::BindingRegistry() : exportRecords_(std::make_unique<ApiExportRecords>()) {}

BindingRegistry::~BindingRegistry() = default;

BindingTypeBuilder BindingRegistry::beginType(std::uint32_t nativeSize, std::string_view name,
                                              const BindingTypeId& identity, bool isEnum) {
    std::lock_guard lock(mutex_);
    if (const auto it = typesByName_.find(name); it != typesByName_.end()) {
        return BindingTypeBuilder(*it->second, true);
    }
    auto descriptor = std::make_unique<BindingTypeDescriptor>();
    descriptor->size = nativeSize;
    descriptor->isEnum = isEnum;
    descriptor->name = name;
    descriptor->identity = &identity;
    descriptor->identityHash = identity.hash;
    descriptor->registry = this;
    BindingTypeDescriptor& entered = *descriptor;
    typesByName_.emplace(entered.name, std::move(descriptor));
    if (identity.hash != kReservedBindingTypeHash) {
        typesByIdentity_.emplace(identity.hash, &entered);
    }
    return BindingTypeBuilder(entered, false);
}

BindingEventBuilder BindingRegistry::beginEvent(std::string_view name, const BindingTypeDescriptor* payload) {
    std::lock_guard lock(mutex_);
    if (const auto it = eventsByName_.find(name); it != eventsByName_.end()) {
        return BindingEventBuilder(*it->second, true);
    }
    auto event = std::make_unique<BindingEvent>();
    event->name = name;
    event->payload = payload;
    BindingEvent& entered = *event;
    eventsByName_.emplace(entered.name, std::move(event));
    return BindingEventBuilder(entered, false);
}

bool BindingRegistry::removeEvent(std::string_view name) {
    std::unique_ptr<BindingEvent> removed;
    std::lock_guard lock(mutex_);
    const auto it = eventsByName_.find(name);
    if (it == eventsByName_.end()) {
        return false;
    }
    removed = std::move(it->second);
    eventsByName_.erase(it);
    return true;
}

BindingRegistry::FunctionRegistration
BindingRegistry::registerFunction(std::unique_ptr<BindingFunction> function, bool unlisted) {
    if (function == nullptr) {
        return {nullptr, false};
    }
    std::unique_ptr<BindingFunction> rejected; // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    if (!unlisted) {
        if (const auto it = functionsByName_.find(function->name); it != functionsByName_.end()) {
            rejected = std::move(function);
            return {it->second, false};
        }
    }
    BindingFunction* entered = function.get();
    functions_.emplace(entered, std::move(function));
    if (!unlisted) {
        functionsByName_.emplace(entered->name, entered);
        ++changeCount_;
    }
    return {entered, true};
}

void BindingRegistry::unregisterFunction(BindingFunction* function) {
    std::unique_ptr<BindingFunction> removed; // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    const auto owned = functions_.find(function);
    if (owned == functions_.end()) {
        return;
    }
    if (const auto it = functionsByName_.find(function->name);
        it != functionsByName_.end() && it->second == function) {
        functionsByName_.erase(it);
    }
    removed = std::move(owned->second);
    functions_.erase(owned);
    ++changeCount_;
}

void BindingRegistry::clear() {
    // Moved out under the lock and destroyed after it is released, in reverse order of
    // declaration: events, then types, then functions with their invokers.
    decltype(functions_) functions;
    decltype(typesByName_) types;
    decltype(eventsByName_) events;
    std::lock_guard lock(mutex_);
    if (!initialized_) {
        return;
    }
    events.swap(eventsByName_);
    typesByIdentity_.clear();
    types.swap(typesByName_);
    functionsByName_.clear();
    functions.swap(functions_);
    initialized_ = false;
}

void BindingRegistry::markInitialized() {
    std::lock_guard lock(mutex_);
    initialized_ = true;
}

bool BindingRegistry::isInitialized() const {
    std::lock_guard lock(mutex_);
    return initialized_;
}

std::uint32_t BindingRegistry::changeCount() const {
    std::lock_guard lock(mutex_);
    return changeCount_;
}

BindingFunction* BindingRegistry::findFunction(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = functionsByName_.find(name);
    return it != functionsByName_.end() ? it->second : nullptr;
}

const BindingTypeDescriptor* BindingRegistry::findType(const BindingTypeId& identity) const {
    std::lock_guard lock(mutex_);
    const auto it = typesByIdentity_.find(identity.hash);
    return it != typesByIdentity_.end() ? it->second : nullptr;
}

const BindingTypeDescriptor* BindingRegistry::findTypeByName(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = typesByName_.find(name);
    return it != typesByName_.end() ? it->second.get() : nullptr;
}

const BindingEvent* BindingRegistry::findEvent(std::string_view name) const {
    std::lock_guard lock(mutex_);
    const auto it = eventsByName_.find(name);
    return it != eventsByName_.end() ? it->second.get() : nullptr;
}

std::optional<std::string_view> BindingRegistry::enumeratorName(const BindingTypeId* type,
                                                                std::int32_t value) const {
    if (type == nullptr) {
        return std::nullopt;
    }
    const BindingTypeDescriptor* descriptor = findType(*type);
    if (descriptor == nullptr) {
        return std::nullopt;
    }
    const BindingEnumerator* enumerator = descriptor->enumeratorWithValue(value);
    if (enumerator == nullptr) {
        return std::nullopt;
    }
    return std::string_view(enumerator->name);
}

BindingListing BindingRegistry::listing() const {
    BindingListing listing;
    listing.functions.reserve(functionsByName_.size());
    for (const auto& [name, function] : functionsByName_) {
        listing.functions.push_back(function);
    }
    listing.types.reserve(typesByName_.size());
    for (const auto& [name, descriptor] : typesByName_) {
        listing.types.push_back(descriptor.get());
    }
    listing.events.reserve(eventsByName_.size());
    for (const auto& [name, event] : eventsByName_) {
        listing.events.push_back(event.get());
    }
    return listing;
}

const ApiExport& BindingRegistry::exportApi() {
    // Under the mutex: the records are read from descriptors that may otherwise go meanwhile,
    // and two exports must not rebuild the same arrays at once.
    return readListing([this](const BindingListing& listing) -> const ApiExport& {
        return exportRecords_->rebuild(listing);
    });
}

} // namespace kiv
