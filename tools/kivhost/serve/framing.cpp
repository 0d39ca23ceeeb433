#include "kivhost/serve/framing.h"

#include <boost/beast/core/string.hpp>

namespace kiv::kivhost {
namespace {

std::string_view textOf(const boost::beast::flat_buffer& buffer) {
    const auto data = buffer.data();
    return {static_cast<const char*>(data.data()), data.size()};
}

// Where the request line starts: past the empty lines a client may send before it.
std::size_t requestLineStart(std::string_view text) {
    std::size_t at = 0;
    while (text.substr(at, 2) == "\r\n") {
        at += 2;
    }
    return at;
}

} // namespace

std::size_t headerBlockEnd(const boost::beast::flat_buffer& buffer) {
    const std::string_view text = textOf(buffer);
    const std::size_t end = text.find("\r\n\r\n", requestLineStart(text));
    return end == std::string_view::npos ? end : end + 2;
}

bool hasFoldedLine(const boost::beast::flat_buffer& buffer) {
    const std::size_t end = headerBlockEnd(buffer);
    if (end == std::string_view::npos) {
        return false;
    }
    const std::string_view text = textOf(buffer);
    for (std::size_t at = text.find("\r\n", requestLineStart(text)); at < end;
         at = text.find("\r\n", at + 2)) {
        const char next = text[at + 2];
        if (at + 2 < end && (next == ' ' || next == '\t')) {
            return true;
        }
    }
    return false;
}

bool isChunkedAlone(std::string_view value) {
    const std::size_t first = value.find_first_not_of(" \t");
    const std::size_t last = value.find_last_not_of(" \t");
    return first != std::string_view::npos &&
           boost::beast::iequals(value.substr(first, last - first + 1), "chunked");
}

} // namespace kiv::kivhost
