// The names under which the shutdown law meets the platform: its short name, the resources it
// reads and serves, and its jobs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

inline constexpr const char* kShutdownLawShortName = "kiv-kr-shutdown-law";

// Resources of other plugins.
inline constexpr std::string_view kLoginDataPacketPath = "/kiv-login/v1/login-data-packet";
inline constexpr std::string_view kQueueTimetablePath =
    "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
inline constexpr std::string_view kGameQueuesPath = "/kiv-game-queues/v1/queues";

// The service's own resources.
inline constexpr std::string_view kNotificationPath = "/kiv-kr-shutdown-law/v1/notification";
inline constexpr std::string_view kDisabledQueuesPath = "/kiv-kr-shutdown-law/v1/disabled-queues";
inline constexpr std::string_view kQueueStatusPathTemplate =
    "/kiv-kr-shutdown-law/v1/queue-status/{queue_id}";
inline constexpr std::string_view kCustomStatusPath = "/kiv-kr-shutdown-law/v1/custom-status";
inline constexpr std::string_view kAllQueuesStatusPath = "/kiv-kr-shutdown-law/v1/status";

// "/kiv-kr-shutdown-law/v1/queue-status/<id>", the uri of one queue's status events.
std::string queueStatusPath(std::int32_t queueId);

// Job names.
inline constexpr std::string_view kCutOffJobName = "kiv-kr-shutdown-law.cut-off";
inline constexpr std::string_view kWarningJobName = "kiv-kr-shutdown-law.warning";
inline constexpr std::string_view kDisableAllQueuesJobName = "kiv-kr-shutdown-law.disable-all-queues";
inline constexpr std::string_view kDisableQueueJobPrefix = "kiv-kr-shutdown-law.disable-queue.";

// "kiv-kr-shutdown-law.disable-queue.<id>", built in place: a plan names a job for each of
// thousands of queues, and none of those names needs a heap block.
class DisableQueueJobName {
  public:
    explicit DisableQueueJobName(std::int32_t queueId) noexcept;

    operator std::string_view() const noexcept { return {text_.data(), size_}; }

  private:
    // The prefix and the longest id, "-2147483648".
    std::array<char, kDisableQueueJobPrefix.size() + 11> text_;
    std::size_t size_ = 0;
};

} // namespace kiv
