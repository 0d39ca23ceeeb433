// What the shutdown law asks of the plugin it runs in: watching other plugins' resources,
// reading the game-queue list, timed jobs and publishing its own resources. The plugin serves
// them with its parts; the law itself knows nothing of the host boundary.
#pragma once

#include "host/api_result.h"
#include "host/resource_reader.h"
#include "service/shutdown_law_types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kiv {

// One change of an observed resource. Its data, when it has any, is in the observer's reader.
struct ResourceChange {
    bool createdOrUpdated = false; // false for a deletion
};

// The data of one published change: the law status, one queue's status, the disabled queues
// or the status of all queues.
using PublishedData =
    std::variant<Brix::Client::ShutdownLaw::Api::ShutdownLawNotification,
                 Brix::Client::ShutdownLaw::Api::QueueShutdownStatus, std::vector<std::int32_t>,
                 Brix::Client::ShutdownLaw::Api::AllQueueShutdownStatus>;

class ShutdownLawContext {
  public:
    using ChangeHandler = std::function<void(const ResourceChange&)>;

    // Watches `path`: the handler replaces any earlier one of the path, receives the current
    // value at once as a creation when it can be read, and every later change. The data of a
    // creation or update is read into `reader` before the handler runs; the reader outlives the
    // watch. The result is that first read's.
    virtual ApiResult<void> observe(std::string_view path, ResourceReader& reader, ChangeHandler handler) = 0;
    // Reads a resource into `reader` with a GET; a failed read carries the answer's status as its
    // code.
    virtual ApiResult<void> read(std::string_view path, ResourceReader& reader) = 0;
    // Reads a Collection with a GET: the `id` of each element, as `element["id"].asInteger(0)`
    // reads it, without the elements themselves.
    virtual ApiResult<std::vector<std::int64_t>> readListIds(std::string_view path) = 0;
    // The plugin's steady clock, in nanoseconds: the host's own clock when it provides one.
    virtual std::int64_t nowNs() = 0;
    // Runs `job` once, at the moment `dueNs` of that clock (at once when it has passed).
    virtual void scheduleJobAt(std::string_view name, std::int64_t dueNs, std::function<void()> job) = 0;
    // Announces an update of the service's resource `uri`.
    virtual void publish(std::string_view uri, const PublishedData& data) = 0;

  protected:
    ~ShutdownLawContext() = default;
};

} // namespace kiv
