// How `kivhost serve` reads a request's framing, in one way only (RFC 9112): the checks made on
// the header block as the client sent it, before Beast parses it.
#pragma once

#include <boost/beast/core/flat_buffer.hpp>

#include <cstddef>
#include <string_view>

namespace kiv::kivhost {

// Where the header block in the buffer ends (the offset of its closing empty line's CRLF), or
// npos when the buffer does not hold a whole one yet. Empty lines before the request line, which
// a server may skip, are skipped.
std::size_t headerBlockEnd(const boost::beast::flat_buffer& buffer);

// Whether a line of the whole header block in the buffer starts with a space or a tab: a line
// folded onto the previous one (obs-fold), which proxies unfold or not.
bool hasFoldedLine(const boost::beast::flat_buffer& buffer);

// Whether a Transfer-Encoding field's value is `chunked` alone (in any case, with optional
// whitespace around it): the one coding this server reads.
bool isChunkedAlone(std::string_view value);

} // namespace kiv::kivhost
