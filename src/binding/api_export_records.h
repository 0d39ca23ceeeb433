// The record arrays that describe a registry's functions, types and events to the host. The
// records own copies of their texts: the host may read them after a described function has
// been removed, up to the next rebuild.
#pragma once

#include "kiv/plugin_abi.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct BindingEvent;
struct BindingFunction;
struct BindingListing;
struct BindingTypeRef;
struct BindingTypeDescriptor;

class ApiExportRecords {
  public:
    ApiExportRecords() = default;
    ApiExportRecords(const ApiExportRecords&) = delete;
    ApiExportRecords& operator=(const ApiExportRecords&) = delete;

    // Reads the listed descriptors; the caller keeps them alive until it returns.
    [[nodiscard]] const ApiExport& rebuild(const BindingListing& listing);

  private:
    void reserve(const BindingListing& listing);
    const char* text(std::string_view value);
    const char* descriptorName(const BindingTypeDescriptor* descriptor);
    ExportedTypeRef exportedType(const BindingTypeRef& type);
    const char* const* appendTags(const std::vector<std::string>& tags);
    void appendFunction(const BindingFunction& function);
    void appendType(const BindingTypeDescriptor& type);
    void appendEvent(const BindingEvent& event);

    // Every vector is reserved to its final size before records point into it.
    std::vector<ExportedFunction> functions_;
    std::vector<ExportedArgument> arguments_;
    std::vector<ExportedType> types_;
    std::vector<ExportedField> fields_;
    std::vector<ExportedEnumValue> enumValues_;
    std::vector<ExportedEvent> events_;
    std::vector<const char*> tags_;
    // A deque never moves its elements, so the records may point into them.
    std::deque<std::string> texts_;
    ApiExport export_{};
};

} // namespace kiv
