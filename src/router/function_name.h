// Names of route functions, formed from the method and the URL template:
// GET /kiv-kr-shutdown-law/v1/queue-status/{queue_id} is GetKivKrShutdownLawV1QueueStatusByQueueId.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// The name under which the host lists and calls a route's function: every plugin must derive it
// alike, so it is the method word and the path template CamelCased ("GET" and
// "/kiv-login/v1/queue/{id}" give "GetKivLoginV1QueueById"). With an empty word the text alone is
// CamelCased, which makes a plugin's short name its type prefix.
[[nodiscard]] std::string MakeFunctionName(std::string_view methodWord, std::string_view text);

} // namespace kiv
