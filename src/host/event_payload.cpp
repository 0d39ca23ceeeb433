#include "host/event_payload.h"

namespace kiv {

void traceUnconvertedPayload(std::string_view shortName, const char* typeName, std::string_view eventName,
                             std::string_view why) {
    const std::string plugin(shortName);
    const std::string name(eventName);
    const std::string reason(why);
    traceMessage("%s: Couldn't convert payload %s for event %s: %s", plugin.c_str(), typeName, name.c_str(),
                 reason.c_str());
}

} // namespace kiv
