#include "value/msgpack_reader.h"

#include "format/message_format.h"
#include "value/big_endian.h"
#include "value/value_tree_builder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <vector>

namespace kiv {
namespace {

constexpr std::string_view kInvalidData = "Invalid MessagePack data at position %1.";
constexpr std::string_view kKeyNotString =
    "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr std::string_view kStringTruncated =
    "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr std::string_view kRawTruncated =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
// A container that announced more items than the input holds: its body is truncated, not
// complete, so the caller's check of the consumed bytes must not see a whole value.
constexpr std::string_view kEndsInsideContainer =
    "Invalid MessagePack data. Input ends inside a container at position %1.";

// The truncation message of a fixed-width read of `bytes` bytes.
constexpr std::string_view truncatedIntegerMessage(std::size_t bytes) noexcept {
    switch (bytes) {
    case 1:
        return "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
    case 2:
        return "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
    case 4:
        return "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
    default:
        return "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
    }
}

constexpr bool isStringType(std::uint8_t type) noexcept {
    return (type >= 0xA0 && type <= 0xBF) || (type >= 0xD9 && type <= 0xDB);
}

// Decodes one top-level value and hands its items to the tree builder. The decoder keeps
// only what the format needs: how many items each open container still expects. Every read
// checks the remaining input first and fails without advancing; the first failure replaces
// the result's value with the error and ends decoding.
class MsgpackDecoder {
  public:
    MsgpackDecoder(std::span<const std::uint8_t> bytes, ConversionResult& result)
        : bytes_(bytes), result_(result), builder_(result.value(), RepeatedCollections::Overwrite) {}

    void run() {
        open_.reserve(16);
        if (!atEnd()) {
            readItem();
        }
        while (result_.ok() && !open_.empty()) {
            Open& top = open_.back();
            if (top.left == 0) {
                close();
            } else if (atEnd()) {
                fail(kEndsInsideContainer, {position_});
            } else {
                readItems(top);
            }
        }
    }

    std::size_t position() const noexcept { return position_; }

  private:
    // An open container and the items it still expects. A map expects keys and values
    // alternately, so it counts two items per pair; an even count means a key comes next.
    struct Open {
        std::uint64_t left;
        bool isMap;
    };

    bool atEnd() const noexcept { return position_ >= bytes_.size(); }
    std::size_t remaining() const noexcept { return bytes_.size() - position_; }

    void fail(std::string_view templ, std::initializer_list<FormatArg> args) {
        result_.setError(formatMessage(templ, args));
    }

    // Big-endian unsigned integer of sizeof(T) bytes.
    template <class T> [[nodiscard]] bool readInteger(T& out) {
        if (remaining() < sizeof(T)) {
            fail(truncatedIntegerMessage(sizeof(T)), {position_});
            return false;
        }
        out = loadBigEndian<T>(bytes_.data() + position_);
        position_ += sizeof(T);
        return true;
    }

    // A length or count stored in `width` bytes after the type byte.
    [[nodiscard]] bool readLength(std::size_t width, std::uint32_t& out) {
        if (width == 1) {
            return readNarrowLength<std::uint8_t>(out);
        }
        if (width == 2) {
            return readNarrowLength<std::uint16_t>(out);
        }
        return readInteger(out);
    }

    template <class T> [[nodiscard]] bool readNarrowLength(std::uint32_t& out) {
        T n;
        if (!readInteger(n)) {
            return false;
        }
        out = n;
        return true;
    }

    [[nodiscard]] bool readBytes(std::size_t count, std::string_view truncatedMessage,
                                 const std::uint8_t*& out) {
        if (remaining() < count) {
            fail(truncatedMessage, {count, position_});
            return false;
        }
        out = bytes_.data() + position_;
        position_ += count;
        return true;
    }

    // The text of a string item whose type byte has been read.
    [[nodiscard]] bool readString(std::uint8_t type, std::string_view& text) {
        std::uint32_t length = type & 0x1F;
        if (type >= 0xD9 && !readLength(std::size_t{1} << (type - 0xD9), length)) {
            return false;
        }
        const std::uint8_t* data;
        if (!readBytes(length, kStringTruncated, data)) {
            return false;
        }
        text = {reinterpret_cast<const char*>(data), length};
        return true;
    }

    void readKey() {
        std::uint8_t type;
        if (!readInteger(type)) {
            return;
        }
        if (!isStringType(type)) {
            fail(kKeyNotString, {position_});
            return;
        }
        std::string_view text;
        if (readString(type, text)) {
            builder_.key(text);
        }
    }

    void open(bool isMap, std::uint32_t count) {
        // Every element takes at least one byte, and every member two, so neither reserves more
        // than the input can fill.
        if (isMap) {
            builder_.startStructure(std::min<std::size_t>(count, remaining() / 2));
        } else {
            builder_.startCollection(std::min<std::size_t>(count, remaining()));
        }
        open_.push_back({isMap ? std::uint64_t{count} * 2 : count, isMap});
    }

    void close() {
        if (open_.back().isMap) {
            builder_.endStructure();
        } else {
            builder_.endCollection();
        }
        open_.pop_back();
    }

    template <class T> void readUnsigned() {
        T n;
        if (readInteger(n)) {
            builder_.unsignedNumber(n);
        }
    }

    template <class T> void readSigned() {
        std::make_unsigned_t<T> n;
        if (readInteger(n)) {
            builder_.signedNumber(static_cast<T>(n));
        }
    }

    void readBlob(std::size_t lengthWidth) {
        std::uint32_t length;
        const std::uint8_t* data;
        if (readLength(lengthWidth, length) && readBytes(length, kRawTruncated, data)) {
            builder_.blob(std::span<const std::uint8_t>(data, length));
        }
    }

    void readSized(bool isMap, std::size_t countWidth) {
        std::uint32_t count;
        if (readLength(countWidth, count)) {
            open(isMap, count);
        }
    }

    // Reads items of the container on top until it is complete, the input ends, or an item
    // opens a container of its own (which then becomes the top).
    void readItems(Open& container) {
        const std::size_t depth = open_.size();
        for (;;) {
            const bool isKey = container.isMap && container.left % 2 == 0;
            --container.left;
            if (isKey) {
                readKey();
            } else if (!readPlainNumber()) {
                readItem();
            }
            // A pushed container may have moved `container`: look at nothing else then.
            if (open_.size() != depth || !result_.ok() || container.left == 0 || atEnd()) {
                return;
            }
        }
    }

    // Reads a positive or negative fixint or a float 64 when one comes next and is whole;
    // returns false, having read nothing, for every other item. Arrays of numbers are the
    // largest documents by item count: this keeps their fill loop free of the call and the
    // frame of readItem, which is too large to inline.
    bool readPlainNumber() {
        const std::uint8_t type = bytes_[position_];
        if (type <= 0x7F || type >= 0xE0) {
            ++position_;
            builder_.signedNumber(static_cast<std::int8_t>(type));
            return true;
        }
        if (type == 0xCB && remaining() > sizeof(std::uint64_t)) {
            builder_.floatNumber(
                std::bit_cast<double>(loadBigEndian<std::uint64_t>(bytes_.data() + position_ + 1)));
            position_ += 1 + sizeof(std::uint64_t);
            return true;
        }
        return false;
    }

    // Reads one item: scalars go to the builder at once, containers are opened and filled
    // by the loop.
    void readItem() {
        std::uint8_t type;
        if (!readInteger(type)) {
            return;
        }
        if (type <= 0x7F || type >= 0xE0) {
            builder_.signedNumber(static_cast<std::int8_t>(type));
            return;
        }
        if (type <= 0x9F) {
            open(type <= 0x8F, type & 0x0F);
            return;
        }
        if (isStringType(type)) {
            std::string_view text;
            if (readString(type, text)) {
                builder_.string(text);
            }
            return;
        }
        switch (type) {
        case 0xC0:
            return builder_.null();
        case 0xC2:
        case 0xC3:
            return builder_.boolean(type == 0xC3);
        case 0xC4:
        case 0xC5:
        case 0xC6:
            return readBlob(std::size_t{1} << (type - 0xC4));
        case 0xCA: {
            std::uint32_t bits;
            if (readInteger(bits)) {
                builder_.floatNumber(std::bit_cast<float>(bits));
            }
            return;
        }
        case 0xCB: {
            std::uint64_t bits;
            if (readInteger(bits)) {
                builder_.floatNumber(std::bit_cast<double>(bits));
            }
            return;
        }
        case 0xCC:
            return readUnsigned<std::uint8_t>();
        case 0xCD:
            return readUnsigned<std::uint16_t>();
        case 0xCE:
            return readUnsigned<std::uint32_t>();
        case 0xCF:
            return readUnsigned<std::uint64_t>();
        case 0xD0:
            return readSigned<std::int8_t>();
        case 0xD1:
            return readSigned<std::int16_t>();
        case 0xD2:
            return readSigned<std::int32_t>();
        case 0xD3:
            return readSigned<std::int64_t>();
        case 0xDC:
        case 0xDD:
            return readSized(false, type == 0xDC ? 2 : 4);
        case 0xDE:
        case 0xDF:
            return readSized(true, type == 0xDE ? 2 : 4);
        default: // 0xC1 (never used), ext and fixext
            fail(kInvalidData, {position_});
        }
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    ConversionResult& result_;
    ValueTreeBuilder builder_;
    std::vector<Open> open_;
};

} // namespace

MsgpackDecoding decodeMsgpack(std::span<const std::uint8_t> bytes) {
    MsgpackDecoding decoding;
    MsgpackDecoder decoder(bytes, decoding.result);
    decoding.result.guard([&] { decoder.run(); });
    decoding.consumed = decoder.position();
    return decoding;
}

bool looksLikeMsgpack(std::span<const std::uint8_t> bytes) noexcept {
    if (bytes.empty()) {
        return false;
    }
    const std::uint8_t first = bytes.front();
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

} // namespace kiv
