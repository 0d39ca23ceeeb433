// The opaque tokens that stand for pending jobs towards the host's timer. The host cannot cancel
// a timer, so a token may come back after its plugin was unloaded, or twice: tokens are resolved
// through one process-wide table under one process-wide lock, each is redeemed at most once, and
// a token that is unknown, already redeemed or cancelled leads nowhere.
#pragma once

#include "host/plugin_gate.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace kiv {

// What a token leads to: the plugin's gate and the job's id in the plugin's job table.
struct JobTicket {
    std::shared_ptr<PluginGate> gate;
    std::uint64_t jobId = 0;
};

// Enters the ticket under a new token: never 0 and never the token of another pending job.
// Tokens count up from 1 for the whole process, so one is reused only after the counter has
// gone once round the width of a pointer.
[[nodiscard]] std::uintptr_t issueJobToken(JobTicket ticket);

// Takes the ticket out of the table; nothing for a token that is not there.
[[nodiscard]] std::optional<JobTicket> redeemJobToken(std::uintptr_t token) noexcept;

// Drops a token without redeeming it.
void cancelJobToken(std::uintptr_t token) noexcept;

} // namespace kiv
