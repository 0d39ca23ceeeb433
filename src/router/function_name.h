// Names of route functions, formed from the method and the URL template:
// GET /kiv-kr-shutdown-law/v1/queue-status/{queue_id} is GetKivKrShutdownLawV1QueueStatusByQueueId.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// With a method word, "Get/" (first character as given, the rest lower-cased, then "/") goes
// before the text; the whole is then CamelCased: "!", "+", "-", ".", "/" and "_" are dropped
// and capitalise the next character, "{" becomes "By" and capitalises, "}" is dropped. With
// an empty word the text alone is CamelCased (a plugin's short name becomes its type prefix).
[[nodiscard]] std::string MakeFunctionName(std::string_view methodWord, std::string_view text);

} // namespace kiv
