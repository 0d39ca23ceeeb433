#include "record_checks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>
#include <utility>
#include <vector>

namespace kiv::fuzzing {
namespace {

// Messages and texts are limited to 4096 bytes; the plugin's names and values are far shorter.
constexpr std::size_t kLongestText = 1 << 20;
constexpr std::size_t kMostValues = 1 << 22;
constexpr std::size_t kMostBodyBytes = 64 << 20;

// The sum of the bytes read keeps the reads from being optimised away.
thread_local volatile unsigned char sink = 0; // per thread: host threads read at once

void touch(const void* bytes, std::size_t count) {
    unsigned char sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<unsigned char>(sum + static_cast<const unsigned char*>(bytes)[i]);
    }
    sink = static_cast<unsigned char>(sink + sum);
}

const void* pointerOf(const FlatValue& flat) {
    return reinterpret_cast<const void*>(flat.a);
}

} // namespace

void finding(std::string_view what) {
    std::fprintf(stderr, "boundary finding: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

void readText(const char* text, std::string_view what) {
    require(text != nullptr, what);
    const std::size_t length = strnlen(text, kLongestText);
    require(length < kLongestText, what);
    touch(text, length);
}

void readPluginFlat(const FlatValue& root) {
    // Depth first with an explicit stack; each entry remembers the arrays on its path.
    struct Pending {
        const FlatValue* flat;
        std::size_t depth;
    };
    std::vector<Pending> pending{{&root, 0}};
    std::vector<const void*> path;
    std::size_t values = 0;
    while (!pending.empty()) {
        const Pending next = pending.back();
        pending.pop_back();
        path.resize(next.depth);
        const FlatValue flat = *next.flat;
        require(++values <= kMostValues, "the plugin's flat value holds too many values");
        switch (flat.kind) {
        case KIV_FLAT_EMPTY:
        case KIV_FLAT_BOOL:
        case KIV_FLAT_SIGNED:
        case KIV_FLAT_UNSIGNED:
        case KIV_FLAT_FLOAT:
            break;
        case KIV_FLAT_STRING_BORROWED:
        case KIV_FLAT_STRING_OWNED: {
            const auto* text = static_cast<const char*>(pointerOf(flat));
            require(text != nullptr || flat.b == 0, "the plugin's text is null");
            if (text != nullptr) {
                touch(text, flat.b);
                require(text[flat.b] == '\0', "the plugin's text does not end after its length word");
            }
            break;
        }
        case KIV_FLAT_BLOB_BORROWED:
        case KIV_FLAT_BLOB_OWNED:
            require(pointerOf(flat) != nullptr || flat.b == 0, "the plugin's blob is null");
            touch(pointerOf(flat), flat.b);
            break;
        case KIV_FLAT_COLLECTION:
        case KIV_FLAT_STRUCTURE: {
            const void* array = pointerOf(flat);
            require(array != nullptr || flat.b == 0, "the plugin's array is null");
            for (const void* outer : path) {
                require(outer != array || array == nullptr, "the plugin's flat value contains itself");
            }
            path.push_back(array);
            for (std::uint32_t i = flat.b; i-- > 0;) {
                if (flat.kind == KIV_FLAT_COLLECTION) {
                    pending.push_back({static_cast<const FlatValue*>(array) + i, path.size()});
                } else {
                    const auto& member = static_cast<const FlatStructureMember*>(array)[i];
                    readText(member.key, "the plugin's member has no key");
                    pending.push_back({&member.value, path.size()});
                }
            }
            break;
        }
        default:
            finding("the plugin's flat value has an unknown kind");
        }
    }
}

void readAndReleaseResponse(HostResponse& response) {
    if (response.result.failed != 0) {
        readText(response.result.error, "the plugin's failed answer has no error text");
        require(response.result.error[0] != '\0', "the plugin's failed answer has an empty error text");
    } else {
        readPluginFlat(response.result.value);
    }
    if (response.contextText != nullptr) {
        readText(response.contextText, "the plugin's context text");
    }
    require(response.headers != nullptr || response.headerCount == 0, "the plugin's headers are null");
    for (std::uint32_t i = 0; i < response.headerCount; ++i) {
        readText(response.headers[i].name, "the plugin's header has no name");
        readText(response.headers[i].value, "the plugin's header has no value");
    }
    if (response.readBody != nullptr) {
        char buffer[64];
        std::size_t total = 0;
        std::uint8_t more = 1;
        while (more != 0 && total < kMostBodyBytes) {
            std::uint32_t length = sizeof buffer;
            if (response.readBody(response.bodyStream, buffer, &length, &more) == 0) {
                break;
            }
            require(length <= sizeof buffer, "the plugin's body stream overran the buffer");
            total += length;
        }
        if (response.releaseBody != nullptr) {
            response.releaseBody(response.bodyStream);
        }
    }
    if (const ResponseReleaseFn release = response.release) {
        release(&response);
        const HostResponse zero{};
        require(std::memcmp(&response, &zero, sizeof zero) == 0,
                "the plugin's release left the record filled");
    }
}

} // namespace kiv::fuzzing
