// Feeds arbitrary bytes to the MessagePack decoder. Besides the sanitizers' checks: the
// consumed count stays within the input, a failure carries a message, decoding the
// consumed bytes alone gives the same outcome, and decoding them without the last fails.
#include "value/msgpack_reader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    kiv::MsgpackDecoding decoding = kiv::decodeMsgpack(input);
    if (decoding.consumed > size) {
        std::abort();
    }
    if (!decoding.result.ok()) {
        if (decoding.result.errorText().empty()) {
            std::abort();
        }
        return 0;
    }
    // A successful decoding never needed the bytes after the value.
    const std::vector<std::uint8_t> value(data, data + decoding.consumed);
    kiv::MsgpackDecoding again = kiv::decodeMsgpack(value);
    if (!again.result.ok() || again.consumed != decoding.consumed ||
        again.result.value().size() != decoding.result.value().size()) {
        std::abort();
    }
    // A value ends only with its last byte: without it the input is truncated.
    if (decoding.consumed > 1 &&
        kiv::decodeMsgpack(std::span<const std::uint8_t>(value).first(decoding.consumed - 1)).result.ok()) {
        std::abort();
    }
    return 0;
}
