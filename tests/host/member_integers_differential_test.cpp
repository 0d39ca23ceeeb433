// The member-integer request against the tree it does without: random flat lists of every shape,
// hostile ones among them, read by requestMemberIntegers and as a list of value trees whose
// elements' member the test reads, give the same integers or the same error. Only the bound on values
// differs, and that is checked on its own.
#include "../value/flat_record_forge.h"
#include "loaded_plugin.h"
#include "value/flat_member_integers.h"
#include "value/flat_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kiv::test::member_integers_differential_test {
namespace {

constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";

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
    RecordForge forge(kSeed, {"id", "id", "id", "ID", "idx", "", nullptr, "i"});
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
