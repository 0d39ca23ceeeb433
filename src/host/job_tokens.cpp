#include "host/job_tokens.h"

#include <map>
#include <mutex>

namespace kiv {

namespace {

struct JobTokenTable {
    std::mutex mutex;
    std::map<std::uintptr_t, JobTicket> tickets;
    std::uintptr_t lastToken = 0;
};

JobTokenTable& jobTokenTable() noexcept {
    static JobTokenTable table;
    return table;
}

} // namespace

std::uintptr_t issueJobToken(JobTicket ticket) {
    JobTokenTable& table = jobTokenTable();
    std::lock_guard lock(table.mutex);
    std::uintptr_t token = table.lastToken;
    do {
        ++token;
    } while (token == 0 || table.tickets.contains(token));
    table.tickets.emplace(token, std::move(ticket));
    table.lastToken = token;
    return token;
}

std::optional<JobTicket> redeemJobToken(std::uintptr_t token) noexcept {
    std::optional<JobTicket> ticket;
    JobTokenTable& table = jobTokenTable();
    std::lock_guard lock(table.mutex);
    if (auto it = table.tickets.find(token); it != table.tickets.end()) {
        ticket = std::move(it->second);
        table.tickets.erase(it);
    }
    return ticket;
}

void cancelJobToken(std::uintptr_t token) noexcept {
    JobTicket dropped;
    JobTokenTable& table = jobTokenTable();
    std::lock_guard lock(table.mutex);
    if (auto it = table.tickets.find(token); it != table.tickets.end()) {
        dropped = std::move(it->second);
        table.tickets.erase(it);
    }
}

} // namespace kiv
