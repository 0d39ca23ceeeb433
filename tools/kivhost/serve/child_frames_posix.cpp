#include "kivhost/serve/child_frames.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace kiv::kivhost {
namespace {

// A frame's payload is at most this long: an answer holds at most the recording or the state.
constexpr std::uint32_t kMaxFrameBytes = std::uint32_t(512) << 20;

bool writeAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(descriptor, data, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool readAll(int descriptor, char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t got = ::read(descriptor, data, size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

void putNumber(std::string& out, std::int64_t number) {
    char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    out.append(bytes, sizeof bytes);
}

void putText(std::string& out, std::string_view text) {
    putNumber(out, static_cast<std::int64_t>(text.size()));
    out.append(text);
}

// Reads from the front of `in`; false when it is too short.
bool takeNumber(std::string_view& in, std::int64_t& number) {
    if (in.size() < sizeof number) {
        return false;
    }
    std::memcpy(&number, in.data(), sizeof number);
    in.remove_prefix(sizeof number);
    return true;
}

bool takeText(std::string_view& in, std::string& text) {
    std::int64_t size = 0;
    if (!takeNumber(in, size) || size < 0 || static_cast<std::uint64_t>(size) > in.size()) {
        return false;
    }
    text.assign(in.substr(0, static_cast<std::size_t>(size)));
    in.remove_prefix(static_cast<std::size_t>(size));
    return true;
}

} // namespace

bool FrameWriter::write(FrameType type, std::string_view payload) {
    char head[5];
    head[0] = static_cast<char>(type);
    const auto size = static_cast<std::uint32_t>(payload.size());
    std::memcpy(head + 1, &size, sizeof size);
    std::lock_guard lock(mutex_);
    return writeAll(descriptor_, head, sizeof head) && writeAll(descriptor_, payload.data(), payload.size());
}

bool readFrame(int descriptor, FrameType& type, std::string& payload) {
    char head[5];
    if (!readAll(descriptor, head, sizeof head)) {
        return false;
    }
    std::uint32_t size = 0;
    std::memcpy(&size, head + 1, sizeof size);
    if (size > kMaxFrameBytes) {
        return false;
    }
    type = static_cast<FrameType>(head[0]);
    payload.resize(size);
    return readAll(descriptor, payload.data(), size);
}

std::string encodeRequest(const ServeRequest& request) {
    std::string out;
    for (const std::string* text :
         {&request.method, &request.path, &request.target, &request.query, &request.body, &request.host}) {
        putText(out, *text);
    }
    return out;
}

std::optional<ServeRequest> decodeRequest(std::string_view in) {
    ServeRequest request;
    for (std::string* text :
         {&request.method, &request.path, &request.target, &request.query, &request.body, &request.host}) {
        if (!takeText(in, *text)) {
            return std::nullopt;
        }
    }
    return request;
}

std::string encodeAnswer(const ServeAnswer& answer, std::int64_t nowMs) {
    std::string out;
    putNumber(out, answer.status);
    putText(out, answer.contentType);
    putText(out, answer.body);
    putText(out, answer.allow);
    putNumber(out, answer.retryAfterSeconds);
    putNumber(out, answer.addsTimeline ? 1 : 0);
    putNumber(out, answer.timelineSince ? static_cast<std::int64_t>(*answer.timelineSince) : -1);
    putNumber(out, nowMs);
    return out;
}

std::optional<ServeAnswer> decodeAnswer(std::string_view in, std::int64_t& nowMs) {
    ServeAnswer answer;
    std::int64_t status = 0, retryAfter = 0, addsTimeline = 0, since = 0;
    if (!takeNumber(in, status) || !takeText(in, answer.contentType) || !takeText(in, answer.body) ||
        !takeText(in, answer.allow) || !takeNumber(in, retryAfter) || !takeNumber(in, addsTimeline) ||
        !takeNumber(in, since) || !takeNumber(in, nowMs)) {
        return std::nullopt;
    }
    answer.status = static_cast<int>(status);
    answer.retryAfterSeconds = static_cast<int>(retryAfter);
    answer.addsTimeline = addsTimeline != 0;
    if (since >= 0) {
        answer.timelineSince = static_cast<std::size_t>(since);
    }
    return answer;
}

std::string encodeEntry(const FeedEntry& entry) {
    std::string out;
    putText(out, entry.event);
    putText(out, entry.data);
    putText(out, entry.line);
    return out;
}

std::optional<FeedEntry> decodeEntry(std::string_view in) {
    FeedEntry entry;
    if (!takeText(in, entry.event) || !takeText(in, entry.data) || !takeText(in, entry.line)) {
        return std::nullopt;
    }
    return entry;
}

} // namespace kiv::kivhost
