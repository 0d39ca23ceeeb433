// One client connection of `kivhost serve`: reads requests one after another within the limits
// below, checks each against the access rules, answers it, and streams /events.
//
// The limits hold while reading, whatever the framing: a header block over kMaxHeaderBytes or
// kMaxHeaderFields is answered 431, a body over kMaxBodyBytes (declared or chunked) 413, and the
// connection is closed after either.
//
// Framing is taken in one reading only: a Transfer-Encoding other than `chunked` alone is answered
// 501, and a header line folded onto the next (obs-fold) 400, and the connection is closed, so
// that nothing after such a head is read as a request of its own.
//
// Reads have deadlines, so that a slow or silent client cannot hold a connection slot: a request
// (its header block and body) must arrive within kRequestTime, counted on a new connection from
// when its first byte is awaited and on a kept-alive one from its first byte, which may take up to
// kIdleTime after the previous answer. The connection is closed when either runs out. Writes have
// one too: a client that takes nothing of an answer for kWriteTime is dropped (see
// deadline_socket.h). Answers are written from the text they were made in, never copied; large
// ones wait within an AnswerBudget, and one that does not fit is answered 503. An event stream,
// once started, reads nothing; its writes keep their deadline.
#pragma once

#include "kivhost/serve/access_rules.h"
#include "kivhost/serve/answer_budget.h"
#include "kivhost/serve/connection_slots.h"
#include "kivhost/serve/request_log.h"
#include "kivhost/serve/serve_backend.h"

#include <boost/asio/ip/tcp.hpp>

#include <chrono>
#include <cstddef>

namespace kiv::kivhost {

inline constexpr std::size_t kMaxHeaderBytes = std::size_t(64) << 10;
inline constexpr std::size_t kMaxHeaderFields = 100;
inline constexpr std::size_t kMaxBodyBytes = std::size_t(1) << 20;
inline constexpr std::chrono::seconds kRequestTime{5};
inline constexpr std::chrono::seconds kIdleTime{60};

// What every connection of a server shares.
struct ServeContext {
    ServeBackend& backend;
    const AccessRules& rules;
    RequestLog& log;
    ConnectionSlots& slots;
    AnswerBudget& answers;
};

// Serves until the client closes, a read or write fails, a refusal ends the connection or the
// connection is closed to make room. Each request goes to the log with its status.
void serveHttpConnection(ClientSocket& client, ServeContext& context);

} // namespace kiv::kivhost
