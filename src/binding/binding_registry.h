// The per-plugin registry of bound functions, events and types. One mutex guards its four
// indexes; it is held for one index operation, or while a listing is read (the host export,
// help). Descriptors stay valid until the registry is cleared or destroyed; functions until
// they are unregistered.
#pragma once

#include "binding/binding_event.h"
#include "binding/binding_event_builder.h"
#include "binding/binding_function.h"
#include "binding/binding_listing.h"
#include "binding/binding_type_builder.h"
#include "binding/binding_type_descriptor.h"
#include "kiv/plugin_abi.h"
#include "value/enum_name_lookup.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kiv {

class ApiExportRecords;

class BindingRegistry final : public EnumNameLookup {
  public:
    BindingRegistry();
    ~BindingRegistry();
    BindingRegistry(const BindingRegistry&) = delete;
    BindingRegistry& operator=(const BindingRegistry&) = delete;

    // A new descriptor entered under its name and (unless the identity is the reserved one)
    // its identity; an inert builder on the existing descriptor when the name is taken.
    BindingTypeBuilder beginType(std::uint32_t nativeSize, std::string_view name,
                                 const BindingTypeId& identity, bool isEnum);
    BindingEventBuilder beginEvent(std::string_view name, const BindingTypeDescriptor* payload);
    // Takes the event out of the index and frees it; false when there is none of that name.
    bool removeEvent(std::string_view name);

    struct [[nodiscard]] FunctionRegistration {
        BindingFunction* function;
        bool created; // false: a listed function of that name existed and is returned instead
    };
    // Takes ownership of the function. Unless `unlisted`, it is entered in the function index
    // and the change counter moves. A listed name that is already taken keeps its function:
    // the new one is destroyed with its invoker and the existing one is returned.
    FunctionRegistration registerFunction(std::unique_ptr<BindingFunction> function, bool unlisted = false);
    // Removes the function from the index, moves the change counter and destroys the function
    // with its invoker. Unknown pointers are ignored.
    void unregisterFunction(BindingFunction* function);

    // Only on an initialised registry: removes every event, then every type, then every
    // function, and marks the registry not initialised.
    void clear();
    void markInitialized();
    [[nodiscard]] bool isInitialized() const;
    [[nodiscard]] std::uint32_t changeCount() const;

    [[nodiscard]] BindingFunction* findFunction(std::string_view name) const;
    [[nodiscard]] const BindingTypeDescriptor* findType(const BindingTypeId& identity) const;
    [[nodiscard]] const BindingTypeDescriptor* findTypeByName(std::string_view name) const;
    [[nodiscard]] const BindingEvent* findEvent(std::string_view name) const;
    [[nodiscard]] std::optional<std::string_view> enumeratorName(const BindingTypeId* type,
                                                                 std::int32_t value) const override;

    // Calls `read` with the listing while the mutex is held, so that nothing listed can be
    // destroyed before `read` returns. `read` must copy what it keeps and must not call back
    // into the registry.
    template <class Read> decltype(auto) readListing(Read&& read) const {
        std::lock_guard lock(mutex_);
        return std::forward<Read>(read)(listing());
    }

    // Rebuilds the host's record arrays from the listing, in its order. The records hold
    // copies of their texts, so they stay valid until the next export or the registry's
    // destruction, whatever is removed meanwhile.
    [[nodiscard]] const ApiExport& exportApi();

  private:
    BindingListing listing() const;

    mutable std::mutex mutex_;
    std::unordered_map<std::string_view, std::unique_ptr<BindingTypeDescriptor>> typesByName_;
    std::unordered_map<std::uint32_t, const BindingTypeDescriptor*> typesByIdentity_;
    std::unordered_map<std::string_view, std::unique_ptr<BindingEvent>> eventsByName_;
    std::unordered_map<std::string_view, BindingFunction*> functionsByName_;
    // Every registered function, listed or not.
    std::unordered_map<const BindingFunction*, std::unique_ptr<BindingFunction>> functions_;
    std::uint32_t changeCount_ = 0;
    bool initialized_ = false;
    std::unique_ptr<ApiExportRecords> exportRecords_;
};

} // namespace kiv
