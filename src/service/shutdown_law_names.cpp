#include "service/shutdown_law_names.h"

#include <algorithm>
#include <charconv>

namespace kiv {

std::string queueStatusPath(std::int32_t queueId) {
    return "/kiv-kr-shutdown-law/v1/queue-status/" + std::to_string(queueId);
}

DisableQueueJobName::DisableQueueJobName(std::int32_t queueId) noexcept {
    char* const idStart =
        std::copy(kDisableQueueJobPrefix.begin(), kDisableQueueJobPrefix.end(), text_.begin());
    // The array holds the longest id, so the conversion cannot run out of room.
    const std::to_chars_result written = std::to_chars(idStart, text_.data() + text_.size(), queueId);
    size_ = static_cast<std::size_t>(written.ptr - text_.data());
}

} // namespace kiv
