#include "host/job_tokens.h"

#include "platform/token_table.h"

namespace kiv {

namespace {

platform::TokenTable<JobTicket>& jobTokenTable() noexcept {
    static platform::TokenTable<JobTicket> table;
    return table;
}

} // namespace

std::uintptr_t issueJobToken(JobTicket ticket) {
    return jobTokenTable().issue(std::move(ticket));
}

std::optional<JobTicket> redeemJobToken(std::uintptr_t token) noexcept {
    return jobTokenTable().take(token);
}

void cancelJobToken(std::uintptr_t token) noexcept {
    (void)jobTokenTable().take(token);
}

} // namespace kiv
