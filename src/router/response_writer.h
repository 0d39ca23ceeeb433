// Filling the host's response record from a call, and the routines the host calls on it
// afterwards. Every text and array handed over is a heap copy that the record's own release
// routine frees; nothing here throws.
#pragma once

#include "kiv/plugin_abi.h"
#include "router/call_context.h"

#include <cstdint>
#include <string_view>

namespace kiv {

// Frees the value, the error text, the context text (unless it is the shared empty text),
// the header texts and their array, then zeroes all of the record. The streamed body is not
// the record's: the host destroys it through the body-release callback.
void KIV_CDECL releaseResponse(HostResponse* response) noexcept;

// Runs the release routine stored in the record, when one is, zeroes the record and stores
// releaseResponse in it.
void resetResponse(HostResponse& response) noexcept;

// An error text with the failed flag, and the status.
void writeErrorResponse(HostResponse& response, std::string_view message, std::uint32_t status) noexcept;

// The context's result (or error), host fields, status, headers and streamed body, which
// moves into the record. The record must have been reset.
void writeResponse(HostResponse& response, CallContext& context) noexcept;

} // namespace kiv
