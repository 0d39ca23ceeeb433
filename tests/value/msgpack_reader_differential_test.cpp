// Checks the MessagePack decoder against msgpack-cxx: values packed by msgpack-cxx decode
// to the trees that msgpack-cxx's own unpacker sees.
#include "value/msgpack_reader.h"

#include <msgpack.hpp>

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kiv {
namespace {

// Packs random values with msgpack-cxx: every integer width and sign, both float widths,
// strings and binaries of each length class, nested arrays and maps with unique keys.
class MsgpackGenerator {
  public:
    explicit MsgpackGenerator(unsigned seed) : random_(seed), packer_(buffer_) {}

    msgpack::sbuffer document() {
        buffer_.clear();
        value(0);
        msgpack::sbuffer out;
        out.write(buffer_.data(), buffer_.size());
        return out;
    }

  private:
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    std::uint64_t bits() { return std::uniform_int_distribution<std::uint64_t>()(random_) >> below(64); }

    void value(int depth) {
        switch (below(depth < 5 ? 11 : 8)) {
        case 0:
            packer_.pack_nil();
            break;
        case 1:
            below(2) ? packer_.pack_true() : packer_.pack_false();
            break;
        case 2:
            packer_.pack_uint64(bits());
            break;
        case 3:
            packer_.pack_int64(-static_cast<std::int64_t>(bits() >> 1) - 1);
            break;
        case 4:
            packer_.pack_double(std::uniform_real_distribution<double>(-1e9, 1e9)(random_));
            break;
        case 5:
            packer_.pack_float(
                static_cast<float>(std::uniform_real_distribution<double>(-1e3, 1e3)(random_)));
            break;
        case 6:
            text(below(4) == 0 ? 40 + below(300) : below(32));
            break;
        case 7:
            binary(below(4) == 0 ? 300 : below(20));
            break;
        case 8:
        case 9:
            array(depth);
            break;
        default:
            map(depth);
        }
    }

    void text(std::size_t length) {
        std::string s;
        for (std::size_t i = 0; i < length; ++i) {
            s += static_cast<char>(below(4) == 0 ? below(256) : 'a' + below(26));
        }
        packer_.pack(s);
    }

    void binary(std::size_t length) {
        std::vector<char> bytes(length);
        for (char& b : bytes) {
            b = static_cast<char>(below(256));
        }
        packer_.pack_bin(static_cast<std::uint32_t>(length));
        packer_.pack_bin_body(bytes.data(), static_cast<std::uint32_t>(length));
    }

    void array(int depth) {
        const std::size_t n = below(4) == 0 ? 16 + below(20) : below(6);
        packer_.pack_array(static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n; ++i) {
            value(depth + 1);
        }
    }

    void map(int depth) {
        const std::size_t n = below(4) == 0 ? 16 + below(20) : below(6);
        packer_.pack_map(static_cast<std::uint32_t>(n));
        for (std::size_t i = 0; i < n; ++i) {
            packer_.pack("key" + std::to_string(i));
            value(depth + 1);
        }
    }

    std::mt19937 random_;
    msgpack::sbuffer buffer_;
    msgpack::packer<msgpack::sbuffer> packer_;
};

void expectSameTree(const Value& ours, const msgpack::object& theirs) {
    std::vector<std::pair<const Value*, const msgpack::object*>> pending{{&ours, &theirs}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        switch (b->type) {
        case msgpack::type::NIL:
            EXPECT_TRUE(a->isEmpty());
            break;
        case msgpack::type::BOOLEAN:
            ASSERT_EQ(a->kind(), ValueKind::Bool);
            EXPECT_EQ(a->getBool(!b->via.boolean), b->via.boolean);
            break;
        case msgpack::type::POSITIVE_INTEGER:
            // Positive fixints (0 to 127) are Signed; the sized forms Unsigned.
            if (a->kind() == ValueKind::Signed) {
                EXPECT_LE(b->via.u64, 127u);
                EXPECT_EQ(static_cast<std::uint64_t>(a->getSigned(-1)), b->via.u64);
            } else {
                ASSERT_EQ(a->kind(), ValueKind::Unsigned);
                EXPECT_EQ(a->getUnsigned(0), b->via.u64);
            }
            break;
        case msgpack::type::NEGATIVE_INTEGER:
            ASSERT_EQ(a->kind(), ValueKind::Signed);
            EXPECT_EQ(a->getSigned(0), b->via.i64);
            break;
        case msgpack::type::FLOAT32:
        case msgpack::type::FLOAT64:
            ASSERT_EQ(a->kind(), ValueKind::Float);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(a->getFloat(0)), std::bit_cast<std::uint64_t>(b->via.f64));
            break;
        case msgpack::type::STR:
            ASSERT_EQ(a->kind(), ValueKind::String);
            EXPECT_EQ(a->getString("?"), std::string_view(b->via.str.ptr, b->via.str.size));
            break;
        case msgpack::type::BIN: {
            ASSERT_EQ(a->kind(), ValueKind::Blob);
            const auto blob = a->getBlob({});
            ASSERT_EQ(blob.size(), b->via.bin.size);
            EXPECT_TRUE(
                std::equal(blob.begin(), blob.end(), reinterpret_cast<const std::uint8_t*>(b->via.bin.ptr)));
            break;
        }
        case msgpack::type::ARRAY:
            ASSERT_TRUE(a->isCollection());
            ASSERT_EQ(a->size(), b->via.array.size);
            for (std::uint32_t i = 0; i < b->via.array.size; ++i) {
                pending.emplace_back(&(*a)[i], &b->via.array.ptr[i]);
            }
            break;
        case msgpack::type::MAP:
            ASSERT_TRUE(a->isStructure());
            ASSERT_EQ(a->size(), b->via.map.size);
            for (std::uint32_t i = 0; i < b->via.map.size; ++i) {
                const msgpack::object_kv& kv = b->via.map.ptr[i];
                const Value* member = a->find(std::string_view(kv.key.via.str.ptr, kv.key.via.str.size));
                ASSERT_NE(member, nullptr);
                pending.emplace_back(member, &kv.val);
            }
            break;
        default:
            FAIL() << "unexpected msgpack type " << b->type;
        }
    }
}

TEST(MsgpackReaderDifferential, PackedValuesDecodeToTheSameTrees) {
    MsgpackGenerator generator(20261207);
    for (int i = 0; i < 2000; ++i) {
        const msgpack::sbuffer packed = generator.document();
        const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(packed.data()),
                                                  packed.size());
        MsgpackDecoding decoding = decodeMsgpack(bytes);
        ASSERT_TRUE(decoding.result.ok()) << decoding.result.errorText();
        EXPECT_EQ(decoding.consumed, packed.size());
        msgpack::object_handle handle = msgpack::unpack(packed.data(), packed.size());
        expectSameTree(decoding.result.value(), handle.get());
        if (HasFatalFailure()) {
            return;
        }
    }
}

TEST(MsgpackReaderDifferential, TruncatedValuesFailWithoutReadingPastTheEnd) {
    MsgpackGenerator generator(5);
    for (int i = 0; i < 500; ++i) {
        const msgpack::sbuffer packed = generator.document();
        // Each prefix is a separate allocation, so reading past its end is caught by the
        // address sanitizer builds.
        for (std::size_t length = 0; length < packed.size(); length += 1 + length / 8) {
            const std::vector<std::uint8_t> prefix(packed.data(), packed.data() + length);
            MsgpackDecoding decoding = decodeMsgpack(prefix);
            EXPECT_LE(decoding.consumed, length);
            // A value ends only with its last byte: every shorter input but the empty one is
            // truncated.
            EXPECT_EQ(decoding.result.ok(), length == 0) << "prefix of " << length << " bytes";
            if (!decoding.result.ok()) {
                EXPECT_TRUE(decoding.result.errorText().starts_with("Invalid MessagePack data. "))
                    << decoding.result.errorText();
            }
        }
    }
}

} // namespace
} // namespace kiv
