#include "binding/api_export_records.h"

#include "binding/binding_event.h"
#include "binding/binding_function.h"
#include "binding/binding_listing.h"
#include "binding/binding_type_descriptor.h"
#include "platform/invariant.h"

#include <cstdint>
#include <string>

namespace kiv {

namespace {

constexpr const char* kEmptyText = "";

// Points every record of records[first, end) at the one after it; the last gets null.
template <class Record> void linkFrom(std::vector<Record>& records, std::size_t first) noexcept {
    for (std::size_t i = first; i < records.size(); ++i) {
        records[i].next = i + 1 < records.size() ? &records[i + 1] : nullptr;
    }
}

template <class Record>
const Record* firstFrom(const std::vector<Record>& records, std::size_t first) noexcept {
    return first < records.size() ? &records[first] : nullptr;
}

// Records point at records of the same arrays, so an array must never grow past what was
// reserved for it.
template <class Record> void appendReserved(std::vector<Record>& records, const Record& record) {
    KIV_ASSERT(records.size() < records.capacity(), "export arrays are reserved to their final size");
    records.push_back(record);
}

} // namespace

const ApiExport& ApiExportRecords::rebuild(const BindingListing& listing) {
    reserve(listing);
    for (const BindingFunction* function : listing.functions) {
        appendFunction(*function);
    }
    for (const BindingTypeDescriptor* type : listing.types) {
        appendType(*type);
    }
    for (const BindingEvent* event : listing.events) {
        appendEvent(*event);
    }
    linkFrom(functions_, 0);
    linkFrom(types_, 0);
    linkFrom(events_, 0);
    export_.functions = firstFrom(functions_, 0);
    export_.functionCount = static_cast<std::uint32_t>(functions_.size());
    export_.types = firstFrom(types_, 0);
    export_.typeCount = static_cast<std::uint32_t>(types_.size());
    export_.events = firstFrom(events_, 0);
    export_.eventCount = static_cast<std::uint32_t>(events_.size());
    return export_;
}

void ApiExportRecords::reserve(const BindingListing& listing) {
    std::size_t argumentCount = 0;
    std::size_t fieldCount = 0;
    std::size_t enumValueCount = 0;
    std::size_t tagCount = 0;
    for (const BindingFunction* function : listing.functions) {
        argumentCount += function->arguments.size();
        tagCount += function->tags.size();
    }
    for (const BindingTypeDescriptor* type : listing.types) {
        fieldCount += type->fields.size();
        enumValueCount += type->enumerators.size();
        tagCount += type->tags.size();
    }
    for (const BindingEvent* event : listing.events) {
        tagCount += event->tags.size();
    }
    // Clearing first keeps reserve from copying the previous records.
    functions_.clear();
    arguments_.clear();
    types_.clear();
    fields_.clear();
    enumValues_.clear();
    events_.clear();
    tags_.clear();
    texts_.clear();
    functions_.reserve(listing.functions.size());
    arguments_.reserve(argumentCount);
    types_.reserve(listing.types.size());
    fields_.reserve(fieldCount);
    enumValues_.reserve(enumValueCount);
    events_.reserve(listing.events.size());
    tags_.reserve(tagCount);
}

const char* ApiExportRecords::text(std::string_view value) {
    return value.empty() ? kEmptyText : texts_.emplace_back(value).c_str();
}

const char* ApiExportRecords::descriptorName(const BindingTypeDescriptor* descriptor) {
    return descriptor != nullptr ? text(descriptor->name) : kEmptyText;
}

ExportedTypeRef ApiExportRecords::exportedType(const BindingTypeRef& type) {
    ExportedTypeRef record{};
    record.kind = exportedKindCode(type.kind);
    record.elementKind = exportedKindCode(type.elementKind);
    switch (type.kind) {
    case BindingTypeKind::Vector:
    case BindingTypeKind::Enum:
    case BindingTypeKind::Struct:
    case BindingTypeKind::Map:
        record.typeName = descriptorName(type.descriptor);
        break;
    default:
        record.typeName = kEmptyText;
        break;
    }
    return record;
}

const char* const* ApiExportRecords::appendTags(const std::vector<std::string>& tags) {
    const std::size_t first = tags_.size();
    for (const std::string& tag : tags) {
        appendReserved(tags_, text(tag));
    }
    return first < tags_.size() ? &tags_[first] : nullptr;
}

void ApiExportRecords::appendFunction(const BindingFunction& function) {
    const std::size_t firstArgument = arguments_.size();
    for (const BindingArgument& argument : function.arguments) {
        ExportedArgument record{};
        record.name = text(argument.name);
        record.description = text(argument.description);
        record.type = exportedType(argument.exportedType());
        record.optional = argument.optional ? 1 : 0;
        appendReserved(arguments_, record);
    }
    linkFrom(arguments_, firstArgument);

    ExportedFunction record{};
    record.reserved = 0;
    record.context = nullptr;
    record.name = text(function.name);
    record.namespaceName = text(function.nameSpace);
    record.arguments = firstFrom(arguments_, firstArgument);
    record.argumentCount = static_cast<std::uint32_t>(function.arguments.size());
    record.result = exportedType(function.exportedReturns());
    record.description = text(function.description);
    record.help = text(function.help);
    record.threadSafe = function.threadSafe ? 1 : 0;
    record.asyncTypeName = function.async ? descriptorName(function.returns.descriptor) : kEmptyText;
    record.tags = appendTags(function.tags);
    record.tagCount = static_cast<std::uint32_t>(function.tags.size());
    appendReserved(functions_, record);
}

void ApiExportRecords::appendType(const BindingTypeDescriptor& type) {
    ExportedType record{};
    record.name = text(type.name);
    record.namespaceName = text(type.nameSpace);
    record.nativeSize = type.size;
    record.description = text(type.description);
    record.tags = appendTags(type.tags);
    record.tagCount = static_cast<std::uint32_t>(type.tags.size());
    if (!type.fields.empty()) {
        const std::size_t firstField = fields_.size();
        for (const BindingField& field : type.fields) {
            ExportedField fieldRecord{};
            fieldRecord.name = text(field.name);
            fieldRecord.description = text(field.description);
            fieldRecord.offset = field.offset;
            fieldRecord.type = exportedType(field.exportedType());
            fieldRecord.optional = field.optional ? 1 : 0;
            appendReserved(fields_, fieldRecord);
        }
        linkFrom(fields_, firstField);
        record.fields = &fields_[firstField];
        record.memberCount = static_cast<std::uint32_t>(type.fields.size());
    } else {
        const std::size_t firstValue = enumValues_.size();
        for (const auto& [name, enumerator] : type.enumerators) {
            ExportedEnumValue valueRecord{};
            valueRecord.name = text(enumerator.name);
            valueRecord.description = text(enumerator.description);
            valueRecord.value = enumerator.value;
            appendReserved(enumValues_, valueRecord);
        }
        linkFrom(enumValues_, firstValue);
        record.enumValues = firstFrom(enumValues_, firstValue);
        record.memberCount = static_cast<std::uint32_t>(type.enumerators.size());
    }
    appendReserved(types_, record);
}

void ApiExportRecords::appendEvent(const BindingEvent& event) {
    ExportedEvent record{};
    record.name = text(event.name);
    record.namespaceName = text(event.nameSpace);
    record.payloadTypeName = descriptorName(event.payload);
    record.description = text(event.description);
    record.tags = appendTags(event.tags);
    record.tagCount = static_cast<std::uint32_t>(event.tags.size());
    appendReserved(events_, record);
}

} // namespace kiv
