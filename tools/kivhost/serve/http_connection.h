// One client connection of `kivhost serve`: reads requests one after another within the limits
// below, checks each against the access rules, answers it, and streams /events.
//
// The limits hold while reading, whatever the framing: a header block over kMaxHeaderBytes or
// kMaxHeaderFields is answered 431, a body over kMaxBodyBytes (declared or chunked) 413, and the
// connection is closed after either.
#pragma once

#include "kivhost/serve/access_rules.h"
#include "kivhost/serve/request_log.h"
#include "kivhost/serve/serve_world.h"

#include <boost/asio/ip/tcp.hpp>

#include <cstddef>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxHeaderBytes = std::size_t(64) << 10;
inline constexpr std::size_t kMaxHeaderFields = 100;
inline constexpr std::size_t kMaxBodyBytes = std::size_t(1) << 20;

// Serves until the client closes, a read or write fails, or a refusal ends the connection.
// Each request goes to the log with its status.
void serveHttpConnection(boost::asio::ip::tcp::socket& socket, ServeWorld& world, const AccessRules& rules,
                         RequestLog& log);

} // namespace kiv::kivhost
