// The record arrays that describe a registry's functions, types and events to the host.
// Texts point into the registry's descriptors; the arrays live until the next rebuild.
#pragma once

#include "kiv/plugin_abi.h"

#include <string>
#include <vector>

namespace kiv {

struct BindingEvent;
struct BindingFunction;
struct BindingTypeDescriptor;

class ApiExportRecords {
  public:
    ApiExportRecords() = default;
    ApiExportRecords(const ApiExportRecords&) = delete;
    ApiExportRecords& operator=(const ApiExportRecords&) = delete;

    const ApiExport& rebuild(const std::vector<const BindingFunction*>& functions,
                             const std::vector<const BindingTypeDescriptor*>& types,
                             const std::vector<const BindingEvent*>& events);
    const ApiExport& current() const noexcept { return export_; }

  private:
    void reserve(const std::vector<const BindingFunction*>& functions,
                 const std::vector<const BindingTypeDescriptor*>& types,
                 const std::vector<const BindingEvent*>& events);
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
    ApiExport export_{};
};

} // namespace kiv
