#include "kivhost/core/issued_records.h"

#include "kivhost/core/json_text.h"
#include "platform/invariant.h"
#include "value/flat_value.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kiv::kivhost {
namespace {

struct IssuedResponse {
    FlatResult result{};
    std::shared_ptr<IssuedCounts> counts;
    ~IssuedResponse() { releaseFlat(result); }
};

struct BodyStream {
    std::string text;
    std::size_t position = 0;
    std::uint32_t chunkBytes = 0;
    std::shared_ptr<IssuedCounts> counts;
};

class IssuedTable {
  public:
    std::mutex mutex;
    // Keyed by the token each record carries in its context text: an empty text of its own.
    std::unordered_map<const char*, std::unique_ptr<IssuedResponse>> responses;
    std::unordered_map<const void*, std::unique_ptr<BodyStream>> streams;
    std::atomic<std::uint64_t> strays{0};
};

// Never destroyed: a plugin may release what it holds while the process shuts down.
IssuedTable& issuedTable() {
    static IssuedTable* table = new IssuedTable;
    return *table;
}

void KIV_CDECL releaseIssuedResponse(HostResponse* response) {
    IssuedTable& table = issuedTable();
    std::unique_ptr<IssuedResponse> issued;
    if (response) {
        // The record is packed: its token is read out before it is looked up.
        const char* token = response->contextText;
        std::lock_guard lock(table.mutex);
        const auto found = table.responses.find(token);
        if (found != table.responses.end()) {
            issued = std::move(found->second);
            delete[] found->first;
            table.responses.erase(found);
        }
    }
    if (!issued) {
        ++table.strays;
        return;
    }
    --issued->counts->openResponses;
    std::memset(static_cast<void*>(response), 0, sizeof *response);
}

std::uint8_t KIV_CDECL readIssuedBody(void* stream, char* buffer, std::uint32_t* length,
                                      std::uint8_t* moreData) {
    IssuedTable& table = issuedTable();
    std::lock_guard lock(table.mutex);
    const auto found = table.streams.find(stream);
    if (found == table.streams.end()) {
        ++table.strays;
        return 0;
    }
    if (!buffer || !length || !moreData) {
        return 0;
    }
    BodyStream& body = *found->second;
    KIV_ASSERT(body.position <= body.text.size(), "a stream never reads past its text");
    const std::size_t left = body.text.size() - body.position;
    const std::size_t count = std::min<std::size_t>({left, *length, body.chunkBytes});
    std::memcpy(buffer, body.text.data() + body.position, count);
    body.position += count;
    *length = static_cast<std::uint32_t>(count);
    *moreData = body.position < body.text.size() ? 1 : 0;
    return 1;
}

void KIV_CDECL releaseIssuedBody(void* stream) {
    IssuedTable& table = issuedTable();
    std::unique_ptr<BodyStream> body;
    {
        std::lock_guard lock(table.mutex);
        const auto found = table.streams.find(stream);
        if (found != table.streams.end()) {
            body = std::move(found->second);
            table.streams.erase(found);
        }
    }
    if (!body) {
        ++table.strays;
        return;
    }
    --body->counts->openBodyStreams;
}

// Registers the record's owned parts and points the record at them.
void issue(HostResponse& response, std::unique_ptr<IssuedResponse> issued, std::uint32_t status) {
    auto token = std::make_unique<char[]>(1);
    IssuedTable& table = issuedTable();
    std::memcpy(static_cast<void*>(&response.result), &issued->result, sizeof(FlatResult));
    response.status = status;
    response.contextText = token.get();
    response.release = releaseIssuedResponse;
    ++issued->counts->openResponses;
    std::lock_guard lock(table.mutex);
    table.responses.emplace(token.release(), std::move(issued));
}

} // namespace

void issueValueResponse(HostResponse& response, const Value& value, std::uint32_t status,
                        std::uint32_t chunkBytes, const std::shared_ptr<IssuedCounts>& counts) {
    auto issued = std::make_unique<IssuedResponse>();
    issued->counts = counts;
    if (chunkBytes == 0) {
        if (!valueToFlat(value, issued->result.value, nullptr)) {
            throw std::bad_alloc();
        }
        issue(response, std::move(issued), status);
        return;
    }
    auto body = std::make_unique<BodyStream>();
    body->text = toJson(value);
    body->chunkBytes = chunkBytes;
    body->counts = counts;
    response.readBody = readIssuedBody;
    response.releaseBody = releaseIssuedBody;
    response.bodyLength = body->text.size();
    response.bodyStream = body.get();
    ++counts->openBodyStreams;
    {
        IssuedTable& table = issuedTable();
        std::lock_guard lock(table.mutex);
        table.streams.emplace(body.get(), std::move(body));
    }
    issue(response, std::move(issued), status);
}

void issueErrorResponse(HostResponse& response, std::string_view error, std::uint32_t status,
                        const std::shared_ptr<IssuedCounts>& counts) {
    auto issued = std::make_unique<IssuedResponse>();
    issued->counts = counts;
    auto text = std::make_unique<char[]>(error.size() + 1);
    std::memcpy(text.get(), error.data(), error.size());
    issued->result.error = text.release();
    issued->result.failed = 1;
    issue(response, std::move(issued), status);
}

std::uint64_t strayReleaseCount() noexcept {
    return issuedTable().strays.load();
}

} // namespace kiv::kivhost
