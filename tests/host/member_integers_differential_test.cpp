// The member-integer request against the tree it does without: random flat lists of every shape,
// hostile ones among them, read by requestMemberIntegers and as a list of value trees whose
// elements' member the test reads, give the same integers or the same error. Only the bound on values
// differs, and that is checked on its own.
#include "loaded_plugin.h"
#include "value/flat_member_integers.h"
#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kiv::test::member_integers_differential_test {
namespace {

constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";

template <class T> std::uintptr_t addressOf(const T* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

void setMember(FlatStructureMember& member, const char* key, const FlatValue& value) {
    member.key = key;
    std::memcpy(&member.value, &value, sizeof value); // the member is packed
}

// Random flat records as a host may send them, kept in blocks that live as long as the forge.
// Records are packed, so any block holds them.
class RecordForge {
  public:
    explicit RecordForge(std::uint32_t seed) : random_(seed) {}

    // Mostly a list of elements of every shape, now and then something else; with
    // `tooManyBytes`, a list whose texts hold more bytes than one conversion may read.
    FlatValue record(bool tooManyBytes) {
        top_ = {};
        if (!tooManyBytes && chance(25)) {
            return anyValue(2);
        }
        const std::uint32_t count = below(10) + (tooManyBytes ? kLongTextCopies : 0);
        auto* elements = newArray<FlatValue>(count);
        top_ = {KIV_FLAT_COLLECTION, addressOf(elements), count};
        for (std::uint32_t i = 0; i < count; ++i) {
            elements[i] = tooManyBytes && i < kLongTextCopies ? longText() : element(3);
        }
        return top_;
    }

  private:
    // 17 copies of 16 MiB are more than the 256 MiB of text one conversion may read.
    static constexpr std::uint32_t kLongTextCopies = 17;

    FlatValue element(int depth) { return chance(4) ? anyValue(depth) : structure(depth); }

    FlatValue structure(int depth) {
        static const char* const kKeys[] = {"id", "id", "id", "ID", "idx", "", nullptr, "i"};
        const std::uint32_t count = below(5);
        auto* members = newArray<FlatStructureMember>(count);
        const FlatValue self{KIV_FLAT_STRUCTURE, addressOf(members), count};
        for (std::uint32_t i = 0; i < count; ++i) {
            setMember(members[i], kKeys[below(std::size(kKeys))],
                      chance(150) ? self
                      : chance(3) ? anyValue(depth - 1)
                                  : scalar());
        }
        return self;
    }

    FlatValue anyValue(int depth) {
        if (chance(100)) {
            static const std::uint32_t kUnknownKinds[] = {11, 12, 77, 0xFFFFFFFFu};
            return {kUnknownKinds[below(std::size(kUnknownKinds))], 0, 0};
        }
        if (top_.b != 0 && chance(100)) {
            return top_; // the list inside itself
        }
        if (depth <= 0 || chance(2)) {
            return scalar();
        }
        if (chance(2)) {
            return structure(depth);
        }
        const std::uint32_t count = below(4);
        auto* elements = newArray<FlatValue>(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            elements[i] = element(depth - 1);
        }
        return {KIV_FLAT_COLLECTION, addressOf(elements), count};
    }

    FlatValue scalar() {
        constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        static const std::uintptr_t kBoolWords[] = {0, 1, 2, 0x100, 0xFF00, 0x101};
        static const std::uint64_t kWords[] = {0,          1,          0xFFFFFFFFull, 0x1000001C2ull,
                                               1ull << 63, ~0ull >> 1, ~0ull};
        static const double kFloats[] = {1e30, -1e30,  kNaN,    -2.5,         2.5,       0.0,
                                         -0.0, 9.3e18, -9.3e18, 4294967746.7, kInfinity, -kInfinity};
        static const std::uint8_t kBytes[] = {'1', '2', 0};
        FlatValue flat{};
        switch (below(7)) {
        case 0:
            return flat;
        case 1:
            return {KIV_FLAT_BOOL, kBoolWords[below(std::size(kBoolWords))], 0};
        case 2:
            setFlatSigned(
                flat, static_cast<std::int64_t>(chance(2) ? kWords[below(std::size(kWords))] : random_()));
            return flat;
        case 3:
            setFlatUnsigned(flat, chance(2) ? kWords[below(std::size(kWords))] : random_());
            return flat;
        case 4:
            setFlatFloat(flat, kFloats[below(std::size(kFloats))]);
            return flat;
        case 5:
            return {KIV_FLAT_BLOB_BORROWED + below(2), chance(3) ? 0 : addressOf(kBytes), below(4)};
        default:
            return text();
        }
    }

    // A text as hosts send them: its length word at its terminator or short of it, a terminator
    // inside, or no text at all.
    FlatValue text() {
        static const char* const kTexts[] = {
            "12abc", "-5", "99999999999999999999", "-99999999999999999999", "0x1C2", "017", "  42", "+7", "",
            "abc",   "0x", "9223372036854775808"};
        const std::uint32_t kind = KIV_FLAT_STRING_BORROWED + below(2);
        std::string& kept = blocks_.emplace_back(kTexts[below(std::size(kTexts))]);
        kept += chance(4) ? std::string(1, '\0') + "34" : std::string("7");
        const auto length = static_cast<std::uint32_t>(kept.size());
        const std::uint32_t shortBy = std::min(below(3), length);
        return chance(5) ? FlatValue{kind, 0, 5} : FlatValue{kind, addressOf(kept.c_str()), length - shortBy};
    }

    static FlatValue longText() {
        static const std::string kText(16 * 1024 * 1024, '1');
        return {KIV_FLAT_STRING_BORROWED, addressOf(kText.c_str()), static_cast<std::uint32_t>(kText.size())};
    }

    template <class T> T* newArray(std::uint32_t count) {
        return reinterpret_cast<T*>(blocks_.emplace_back(count * sizeof(T), '\0').data());
    }

    std::uint32_t below(std::size_t bound) { return static_cast<std::uint32_t>(random_() % bound); }
    bool chance(std::uint32_t oneIn) { return below(oneIn) == 0; }

    std::mt19937_64 random_;
    std::deque<std::string> blocks_;
    FlatValue top_{};
};

class MemberIntegers : public ::testing::Test {
  protected:
    void answerWith(const FlatValue& record) {
        host.responder = [record](HostResponse& response, const HostRequest&) {
            response.result.value = record;
            response.status = 200;
        };
    }

    // The reading the one without a tree is held against: the answer as a list of value trees.
    ApiResult<std::vector<Value>> readAsValues() const {
        return plugin.client().requestValue<std::vector<Value>>(HttpMethod::Get, kQueuesPath);
    }

    // Both reads of the current answer agree; returns the error text, or "" for integers.
    std::string expectSameReading(std::string_view key = "id") const {
        const ApiResult<std::vector<std::int64_t>> read =
            plugin.client().requestMemberIntegers(HttpMethod::Get, kQueuesPath, key);
        const ApiResult<std::vector<Value>> tree = readAsValues();
        EXPECT_EQ(read.ok(), tree.ok()) << (read.ok() ? tree.error() : read.error()).message;
        if (read.ok() && tree.ok()) {
            std::vector<std::int64_t> ofTree;
            for (const Value& element : tree.value()) {
                ofTree.push_back(element[key].asInteger(0));
            }
            EXPECT_EQ(read.value(), ofTree);
            return "";
        }
        if (!read.ok() && !tree.ok()) {
            EXPECT_EQ(read.error().message, tree.error().message);
            EXPECT_EQ(read.error().errorCode, tree.error().errorCode);
            return read.error().message;
        }
        return "?";
    }

    FakeHost host;
    LoadedPlugin loaded{host};
    ProbePlugin& plugin = loaded.plugin();
};

TEST_F(MemberIntegers, RandomFlatListsReadAsTheirTrees) {
    constexpr std::uint32_t kSeed = 20240611;
    constexpr const char* kOutcomes[] = {"contains itself", "incompatible type", "bytes of text",
                                         "not a collection"};
    RecordForge forge(kSeed);
    std::map<std::string, int> met;
    for (int round = 0; round < 3000 && !HasFailure(); ++round) {
        SCOPED_TRACE("seed " + std::to_string(kSeed) + ", round " + std::to_string(round));
        answerWith(forge.record(round % 1000 == 999)); // such a list costs a tree 256 MiB of text
        // Now and then the empty name, which a member without a name has too.
        const std::string error = expectSameReading(round % 5 == 0 ? "" : "id");
        ++met[error.empty() ? "integers" : "an error"];
        for (const char* outcome : kOutcomes) {
            met[outcome] += error.find(outcome) != std::string::npos;
        }
    }
    // Every outcome the forge aims at was compared.
    EXPECT_GT(met["integers"], 0);
    EXPECT_GT(met["an error"], 0);
    for (const char* outcome : kOutcomes) {
        EXPECT_GT(met[outcome], 0) << outcome;
    }
}

// A streamed body is read as a tree either way.
TEST_F(MemberIntegers, StreamedBodiesReadAsTheirTrees) {
    for (const char* body : {R"([{"id": "12abc"}, 5, {"id": 1e30}, {"ID": 3, "id": -2.5}, {"id": [1]}])",
                             "[]", R"({"id": 3})", "[{\"id\": ", "7"}) {
        SCOPED_TRACE(body);
        StreamScript script;
        host.responder = [&](HostResponse& response, const HostRequest&) {
            script = StreamScript();
            script.chunks = {{body, false}};
            answerStream(response, script);
        };
        expectSameReading();
    }
}

std::string valuesBoundError(std::size_t bound) {
    return "Error converting response for GET /kiv-game-queues/v1/queues: Couldn't assign value to "
           "'<result>' of type object because the input holds more than " +
           std::to_string(bound) + " values.";
}

// Six million values: past the bound of a tree, within the bound of a reading without one.
TEST_F(MemberIntegers, ThreeMillionElementsReadAsIdsButNotAsATree) {
    constexpr std::uint32_t kCount = 3000000;
    const auto idOf = [](std::uint32_t i) { return 7 * static_cast<std::int64_t>(i) - 1000; };
    std::vector<FlatStructureMember> members(kCount);
    std::vector<FlatValue> elements(kCount);
    for (std::uint32_t i = 0; i < kCount; ++i) {
        FlatValue id{};
        setFlatSigned(id, idOf(i));
        setMember(members[i], "id", id);
        elements[i] = {KIV_FLAT_STRUCTURE, addressOf(&members[i]), 1};
    }
    answerWith({KIV_FLAT_COLLECTION, addressOf(elements.data()), kCount});

    const ApiResult<std::vector<std::int64_t>> ids =
        plugin.client().requestMemberIntegers(HttpMethod::Get, kQueuesPath, "id");
    ASSERT_TRUE(ids.ok()) << ids.error().message;
    ASSERT_EQ(ids.value().size(), kCount);
    for (std::uint32_t i = 0; i < kCount; i += 99991) {
        EXPECT_EQ(ids.value()[i], idOf(i));
    }
    EXPECT_EQ(ids.value().back(), idOf(kCount - 1));
    const ApiResult<std::vector<Value>> tree = readAsValues();
    ASSERT_FALSE(tree.ok());
    EXPECT_EQ(tree.error().message, valuesBoundError(kMaxFlatValues));
}

// Thirty levels that each point twice at the next name 2^31 values in 732 bytes.
TEST_F(MemberIntegers, SharedArraysPastEitherBoundFailBothWays) {
    std::vector<FlatValue> storage(60);
    for (std::size_t level = 29; level-- > 0;) {
        storage[2 * level] =
            storage[2 * level + 1] = {KIV_FLAT_COLLECTION, addressOf(&storage[2 * level + 2]), 2};
    }
    answerWith({KIV_FLAT_COLLECTION, addressOf(storage.data()), 2});

    const ApiResult<std::vector<std::int64_t>> ids =
        plugin.client().requestMemberIntegers(HttpMethod::Get, kQueuesPath, "id");
    ASSERT_FALSE(ids.ok());
    EXPECT_EQ(ids.error().message, valuesBoundError(kMaxFlatValuesWithoutTree));
    const ApiResult<std::vector<Value>> tree = readAsValues();
    ASSERT_FALSE(tree.ok());
    EXPECT_EQ(tree.error().message, valuesBoundError(kMaxFlatValues));
}

} // namespace
} // namespace kiv::test::member_integers_differential_test
