// The packed records by which the router announces its HTTP functions to the host: one
// HttpFunctionRecord per function, each opening with the function's ExportedFunction record
// from the registry's export, followed by the dispatch entry and the HTTP binding. The
// router owns the records and everything they point at, except the context pointers: those
// are tokens of the process's route-context table (route_contexts.h), withdrawn when the
// records are destroyed.
#pragma once

#include "kiv/plugin_abi.h"
#include "router/request_dispatch.h"
#include "router/route_contexts.h"

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace kiv {

class FunctionHttpInfo;

class HttpFunctionRecords {
  public:
    HttpFunctionRecords() = default;
    ~HttpFunctionRecords();
    HttpFunctionRecords(const HttpFunctionRecords&) = delete;
    HttpFunctionRecords& operator=(const HttpFunctionRecords&) = delete;

    // Rebuilds the records of `infos` whose functions `registryExport` lists, in that order.
    // Each record's next word leads to the following record, and the last one's is null. The
    // ApiExport's types and events are the registry's. A function's context leads to `router`
    // (its gate and registry) and the function's binding.
    const ApiExport& rebuild(const RouteContext& router, const ApiExport& registryExport,
                             std::span<FunctionHttpInfo* const> infos);
    const ApiExport& current() const noexcept { return export_; }

  private:
    const ArgumentLocationEntry* appendLocations(const FunctionHttpInfo& info);
    const TextListEntry* appendTextLists(const FunctionHttpInfo& info);

    std::vector<HttpFunctionRecord> records_;
    std::vector<std::vector<ArgumentLocationEntry>> locations_;
    std::vector<std::vector<TextListEntry>> textLists_;
    std::vector<std::vector<const char*>> texts_;
    // A context token handed to the host, and the binding it leads to.
    struct PublishedContext {
        void* token = nullptr;
        const FunctionHttpInfo* info = nullptr;
    };
    // By function name; a function keeps its token across rebuilds.
    std::map<std::string, PublishedContext, std::less<>> contexts_;
    ApiExport export_{};
};

} // namespace kiv
