#include "router/http_function_records.h"

#include "router/function_http_info.h"

#include <cstring>
#include <string_view>
#include <unordered_map>

namespace kiv {
namespace {

// The registry's function records by name.
std::unordered_map<std::string_view, const ExportedFunction*>
exportedByName(const ApiExport& registryExport) {
    std::unordered_map<std::string_view, const ExportedFunction*> byName;
    for (std::uint32_t i = 0; i < registryExport.functionCount; ++i) {
        const ExportedFunction& function = registryExport.functions[i];
        byName.emplace(function.name != nullptr ? function.name : "", &function);
    }
    return byName;
}

// Points each element at the one after it; the last gets null.
template <class Entry> void link(std::vector<Entry>& entries) noexcept {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].next = i + 1 < entries.size() ? &entries[i + 1] : nullptr;
    }
}

} // namespace

HttpFunctionRecords::~HttpFunctionRecords() {
    for (const auto& [name, published] : contexts_) {
        withdrawRouteContext(published.token);
    }
}

const ApiExport& HttpFunctionRecords::rebuild(const RouteContext& router, const ApiExport& registryExport,
                                              std::span<FunctionHttpInfo* const> infos) {
    const auto exported = exportedByName(registryExport);
    records_.clear();
    locations_.clear();
    textLists_.clear();
    texts_.clear();
    records_.reserve(infos.size());
    for (FunctionHttpInfo* info : infos) {
        const std::string& name = info->function().name;
        const auto found = exported.find(name);
        if (found == exported.end()) {
            continue; // not listed in the registry: the host would not know it
        }
        PublishedContext& published = contexts_[name];
        if (published.token == nullptr || published.info != info) {
            void* const token = issueRouteContext({router.gate, router.registry, info});
            withdrawRouteContext(published.token);
            published = {token, info};
        }

        HttpFunctionRecord& record = records_.emplace_back();
        std::memcpy(&record.function, found->second, sizeof record.function);
        record.function.context = published.token;
        record.dispatch = &DispatchRequest;
        record.argumentLocations = appendLocations(*info);
        record.pathTemplate = info->pathTemplate().c_str();
        record.method = static_cast<std::uint32_t>(info->method);
        record.flags = info->flags;
        record.textLists = appendTextLists(*info);
        record.textListCount = static_cast<std::uint32_t>(info->textLists.size());
        record.customMethod = info->customMethod.c_str();
    }
    // The copied next words lead into the registry's 61-byte records: a host that walks the
    // records as a list must stay in this array and stop after its last record.
    for (std::size_t i = 0; i < records_.size(); ++i) {
        records_[i].function.next = i + 1 < records_.size() ? &records_[i + 1].function : nullptr;
    }
    export_ = registryExport;
    export_.functions = records_.empty() ? nullptr : &records_.front().function;
    export_.functionCount = static_cast<std::uint32_t>(records_.size());
    return export_;
}

const ArgumentLocationEntry* HttpFunctionRecords::appendLocations(const FunctionHttpInfo& info) {
    const std::size_t count = info.function().arguments.size();
    if (count == 0) {
        return nullptr;
    }
    std::vector<ArgumentLocationEntry>& entries = locations_.emplace_back(count);
    for (std::size_t i = 0; i < count; ++i) {
        entries[i].location = publishedLocationCode(info.locationOf(i));
    }
    link(entries);
    return entries.data();
}

const TextListEntry* HttpFunctionRecords::appendTextLists(const FunctionHttpInfo& info) {
    if (info.textLists.empty()) {
        return nullptr;
    }
    std::vector<TextListEntry>& entries = textLists_.emplace_back(info.textLists.size());
    for (std::size_t i = 0; i < info.textLists.size(); ++i) {
        std::vector<const char*>& texts = texts_.emplace_back();
        for (const std::string& text : info.textLists[i]) {
            texts.push_back(text.c_str());
        }
        entries[i].texts = texts.data();
        entries[i].count = static_cast<std::uint32_t>(texts.size());
    }
    link(entries);
    return entries.data();
}

} // namespace kiv
