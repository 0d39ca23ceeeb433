#include "kivhost/serve/server_sent_events.h"

#include "platform/invariant.h"

#include <algorithm>

namespace kiv::kivhost {
namespace {

bool isOneLine(std::string_view text) {
    return text.find_first_of("\r\n") == std::string_view::npos;
}

} // namespace

std::string sseEventName(std::string_view name) {
    std::string cleaned(name);
    std::replace_if(
        cleaned.begin(), cleaned.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return cleaned;
}

std::string sseMessage(std::size_t id, std::string_view event, std::string_view data) {
    return "id: " + std::to_string(id) + "\n" + sseNotice(event, data);
}

std::string sseNotice(std::string_view event, std::string_view data) {
    KIV_ASSERT(isOneLine(event) && isOneLine(data), "a field that held a line break would end early");
    std::string message = "event: ";
    message += event;
    message += "\ndata: ";
    message += data;
    message += "\n\n";
    return message;
}

std::string_view sseKeepAlive() noexcept {
    return ": keep-alive\n\n";
}

} // namespace kiv::kivhost
