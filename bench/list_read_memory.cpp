// Reads the ids of a game-queue list of ELEMENTS elements ({"id": n} each) through the JSON-API
// client, as the shutdown-law service reads them, and prints the peak bytes the counting allocator
// saw while the ids were read and held. Built like a plugin module: its operator new and delete are
// the module's counting ones. The host's record is built with malloc, outside the count, as a
// host's memory is.
//   kiv_list_read ELEMENTS
// prints one JSON object: {"elements": N, "ok": true|false, "peak_bytes": P, "error": "..."}.
#include "binding/binding_registry.h"
#include "host/counting_allocator.h"
#include "host/host_port.h"
#include "host/json_api_client.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char kIdKey[] = "id";

std::int64_t idOf(std::size_t element) {
    return static_cast<std::int64_t>(100 + element);
}

// The host's answer: a Collection of `count` Structures, each with the one member "id".
FlatValue* buildList(std::size_t count) {
    auto* elements = static_cast<FlatValue*>(std::calloc(count ? count : 1, sizeof(FlatValue)));
    auto* members =
        static_cast<FlatStructureMember*>(std::calloc(count ? count : 1, sizeof(FlatStructureMember)));
    auto* list = static_cast<FlatValue*>(std::calloc(1, sizeof(FlatValue)));
    if (!elements || !members || !list) {
        return nullptr;
    }
    for (std::size_t i = 0; i < count; ++i) {
        members[i].key = kIdKey;
        members[i].value = {KIV_FLAT_SIGNED, static_cast<std::uint32_t>(idOf(i)), 0};
        members[i].keyOwned = 0;
        elements[i] = {KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(&members[i]), 1};
    }
    *list = {KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(elements),
             static_cast<std::uint32_t>(count)};
    return list;
}

FlatValue* answer = nullptr;

void KIV_CDECL sendRequest(HostApi*, HostResponse* response, const HostRequest*) {
    response->result.value = *answer;
    response->status = 200;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kiv_list_read ELEMENTS\n");
        return 2;
    }
    const std::size_t count = std::strtoull(argv[1], nullptr, 10);
    answer = buildList(count);
    if (!answer) {
        std::fprintf(stderr, "kiv_list_read: no memory for the host's record\n");
        return 1;
    }
    HostApi api{};
    api.sendRequest = sendRequest;
    HostInterface host{&api, 1};
    kiv::HostPort port;
    port.connect(&host);
    const kiv::BindingRegistry registry;
    const kiv::JsonApiClient client(port, registry);

    const MemoryStatistics start = kiv::readMemoryStatistics();
    const std::uint64_t before = start.bytesAllocated - start.bytesFreed;
    const kiv::ApiResult<std::vector<std::int64_t>> ids =
        client.requestMemberIntegers(kiv::HttpMethod::Get, "/kiv-game-queues/v1/queues", "id");
    const MemoryStatistics after = kiv::readMemoryStatistics();
    bool ok = ids.ok() && ids.value().size() == count;
    for (std::size_t i = 0; ok && i < count; ++i) {
        ok = ids.value()[i] == idOf(i);
    }
    const nlohmann::json report = {{"elements", count},
                                   {"ok", ok},
                                   {"peak_bytes", after.peakLiveBytes - before},
                                   {"error", ids.ok() ? "" : ids.error().message}};
    std::printf("%s\n", report.dump().c_str());
    return 0;
}
