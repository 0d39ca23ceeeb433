#include "value/msgpack_reader.h"

#include "format/message_format.h"

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

template <class T> T loadBigEndian(const std::uint8_t* bytes) noexcept {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    if constexpr (sizeof(T) > 1 && std::endian::native == std::endian::little) {
        if constexpr (sizeof(T) == 2)
            value = __builtin_bswap16(value);
        else if constexpr (sizeof(T) == 4)
            value = __builtin_bswap32(value);
        else
            value = __builtin_bswap64(value);
    }
    return value;
}

constexpr bool isStringType(std::uint8_t type) noexcept {
    return (type >= 0xA0 && type <= 0xBF) || (type >= 0xD9 && type <= 0xDB);
}

// Decodes one top-level value with an explicit stack of open containers. Every read checks
// the remaining input first and fails without advancing; the first failure replaces the
// result's value with the error and ends decoding.
class MsgpackDecoder {
  public:
    MsgpackDecoder(std::span<const std::uint8_t> bytes, ConversionResult& result)
        : bytes_(bytes), result_(result) {}

    void run() {
        frames_.reserve(16);
        if (!atEnd())
            readValue(result_.value());
        while (result_.ok() && !atEnd() && !frames_.empty()) {
            Frame& top = frames_.back();
            if (top.next == top.total) {
                frames_.pop_back();
            } else if (!top.isMap) {
                readElements(top);
            } else if (top.next++ % 2 == 0) {
                readKey(top);
            } else {
                readValue(top.target->member(top.pendingKey));
            }
        }
        // Containers left open with items still expected have lost the end of their body.
        if (result_.ok() && std::any_of(frames_.begin(), frames_.end(),
                                        [](const Frame& frame) { return frame.next != frame.total; }))
            fail(kEndsInsideContainer, {position_});
    }

    std::size_t position() const noexcept { return position_; }

  private:
    // An open container: its items are read one per step of the loop. A map expects keys
    // and values alternately, so its total is twice the number of pairs.
    struct Frame {
        Value* target;
        std::uint64_t next;
        std::uint64_t total;
        std::string_view pendingKey;
        bool isMap;
    };

    bool atEnd() const noexcept { return position_ >= bytes_.size(); }
    std::size_t remaining() const noexcept { return bytes_.size() - position_; }

    void fail(std::string_view templ, std::initializer_list<FormatArg> args) {
        result_.setError(formatMessage(templ, args));
    }

    // Big-endian unsigned integer of sizeof(T) bytes.
    template <class T> bool readInteger(T& out) {
        if (remaining() < sizeof(T)) {
            fail(truncatedIntegerMessage(sizeof(T)), {position_});
            return false;
        }
        out = loadBigEndian<T>(bytes_.data() + position_);
        position_ += sizeof(T);
        return true;
    }

    // A length or count stored in the type byte (fix classes) or in `width` bytes after it.
    bool readLength(std::size_t width, std::uint32_t& out) {
        if (width == 1)
            return readNarrowLength<std::uint8_t>(out);
        if (width == 2)
            return readNarrowLength<std::uint16_t>(out);
        return readInteger(out);
    }

    template <class T> bool readNarrowLength(std::uint32_t& out) {
        T n;
        if (!readInteger(n))
            return false;
        out = n;
        return true;
    }

    bool readBytes(std::size_t count, std::string_view truncatedMessage, const std::uint8_t*& out) {
        if (remaining() < count) {
            fail(truncatedMessage, {count, position_});
            return false;
        }
        out = bytes_.data() + position_;
        position_ += count;
        return true;
    }

    // The text of a string item whose type byte has been read.
    bool readString(std::uint8_t type, std::string_view& text) {
        std::uint32_t length = type & 0x1F;
        if (type >= 0xD9 && !readLength(std::size_t{1} << (type - 0xD9), length))
            return false;
        const std::uint8_t* data;
        if (!readBytes(length, kStringTruncated, data))
            return false;
        text = {reinterpret_cast<const char*>(data), length};
        return true;
    }

    void readKey(Frame& frame) {
        std::uint8_t type;
        if (!readInteger(type))
            return;
        if (!isStringType(type)) {
            fail(kKeyNotString, {position_});
            return;
        }
        readString(type, frame.pendingKey);
    }

    void openContainer(Value& target, bool isMap, std::uint32_t count) {
        std::uint64_t total = count;
        if (isMap) {
            target.makeStructure();
            total *= 2;
        } else {
            target.makeCollection();
            // Every element takes at least one byte, so this never reserves more than the
            // input can fill.
            target.reserve(std::min<std::size_t>(count, remaining()));
        }
        frames_.push_back({&target, 0, total, {}, isMap});
    }

    template <class T> void readUnsigned(Value& target) {
        T n;
        if (readInteger(n))
            target.setUnsigned(n);
    }

    template <class T> void readSigned(Value& target) {
        std::make_unsigned_t<T> n;
        if (readInteger(n))
            target.setSigned(static_cast<T>(n));
    }

    void readBlob(Value& target, std::size_t lengthWidth) {
        std::uint32_t length;
        const std::uint8_t* data;
        if (readLength(lengthWidth, length) && readBytes(length, kRawTruncated, data))
            target.setBlob(std::span<const std::uint8_t>(data, length));
    }

    void readSized(Value& target, bool isMap, std::size_t countWidth) {
        std::uint32_t count;
        if (readLength(countWidth, count))
            openContainer(target, isMap, count);
    }

    // Reads elements of the array on top until it is complete, the input ends, or an
    // element opens a container of its own (which then becomes the top frame).
    void readElements(Frame& array) {
        Value& target = *array.target;
        const std::size_t depth = frames_.size();
        for (;;) {
            readValue(target.element(array.next++));
            // A pushed frame may have moved `array`: look at nothing else then.
            if (frames_.size() != depth || !result_.ok() || array.next == array.total || atEnd())
                return;
        }
    }

    // Reads one item into `target`: scalars are set at once, containers are opened on the
    // frame stack and filled by the loop.
    void readValue(Value& target) {
        std::uint8_t type;
        if (!readInteger(type))
            return;
        if (type <= 0x7F || type >= 0xE0) {
            target.setSigned(static_cast<std::int8_t>(type));
            return;
        }
        if (type <= 0x9F) {
            openContainer(target, type <= 0x8F, type & 0x0F);
            return;
        }
        if (isStringType(type)) {
            std::string_view text;
            if (readString(type, text))
                target.setString(text);
            return;
        }
        switch (type) {
        case 0xC0: // nil: the target stays as it is
            return;
        case 0xC2:
        case 0xC3:
            target.setBool(type == 0xC3);
            return;
        case 0xC4:
        case 0xC5:
        case 0xC6:
            readBlob(target, std::size_t{1} << (type - 0xC4));
            return;
        case 0xCA: {
            std::uint32_t bits;
            if (readInteger(bits))
                target.setFloat(std::bit_cast<float>(bits));
            return;
        }
        case 0xCB: {
            std::uint64_t bits;
            if (readInteger(bits))
                target.setFloat(std::bit_cast<double>(bits));
            return;
        }
        case 0xCC:
            return readUnsigned<std::uint8_t>(target);
        case 0xCD:
            return readUnsigned<std::uint16_t>(target);
        case 0xCE:
            return readUnsigned<std::uint32_t>(target);
        case 0xCF:
            return readUnsigned<std::uint64_t>(target);
        case 0xD0:
            return readSigned<std::int8_t>(target);
        case 0xD1:
            return readSigned<std::int16_t>(target);
        case 0xD2:
            return readSigned<std::int32_t>(target);
        case 0xD3:
            return readSigned<std::int64_t>(target);
        case 0xDC:
        case 0xDD:
            return readSized(target, false, type == 0xDC ? 2 : 4);
        case 0xDE:
        case 0xDF:
            return readSized(target, true, type == 0xDE ? 2 : 4);
        default: // 0xC1 (never used), ext and fixext
            fail(kInvalidData, {position_});
        }
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    ConversionResult& result_;
    std::vector<Frame> frames_;
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
    if (bytes.empty())
        return false;
    const std::uint8_t first = bytes.front();
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

} // namespace kiv
