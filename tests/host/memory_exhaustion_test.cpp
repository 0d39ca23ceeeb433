// Requests whose answers do not fit in the memory that is left. Each answer is read again and
// again with the heap limited to every size from nothing up to what the read needs; whatever the
// point at which memory runs out, the read either succeeds or fails with an error that names its
// cause, as the conversions name it, and never with an empty one.
#include "limited_heap.h"
#include "loaded_plugin.h"
#include "value/flat_value.h"

#include "../binding/value_builders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace kiv::test {

namespace {

constexpr const char* kGameQueuesPath = "/kiv-game-queues/v1/queues";
constexpr const char* kOutOfMemory = "Out of memory.";
constexpr std::size_t kQueueCount = 120;
// Limits tried between nothing and what the read needs at most.
constexpr std::size_t kLimitSteps = 1000;

void KIV_CDECL forgetAnswer(HostResponse* response) {
    std::memset(response, 0, sizeof *response); // the flat answer belongs to the test
}

Value queueList() {
    Value list;
    for (std::size_t i = 0; i < kQueueCount; ++i) {
        Value& queue = list.append();
        queue.member("queueId").setSigned(static_cast<std::int64_t>(i));
        queue.member("name").setString("Queue number " + std::to_string(i) + " of the list");
        queue.member("mapId").setSigned(11);
    }
    return list;
}

std::string queueListJson() {
    std::string text = "[";
    for (std::size_t i = 0; i < kQueueCount; ++i) {
        text += (i ? "," : "") + std::string(R"({"queueId":)") + std::to_string(i) +
                R"(,"name":"Queue number )" + std::to_string(i) + R"( of the list","mapId":11})";
    }
    return text + "]";
}

enum class AnswerKind { Flat, Streamed };

class MemoryExhaustion : public ::testing::TestWithParam<AnswerKind> {
  protected:
    MemoryExhaustion() {
        // The answers are built before any limit, and handed out without allocating, so that the
        // limit falls on the plugin's side of the call only.
        EXPECT_TRUE(valueToFlat(queueList(), flatAnswer_, nullptr));
        const std::string json = queueListJson();
        for (std::size_t at = 0; at < json.size(); at += 4096) {
            script_.chunks.push_back({json.substr(at, 4096), at + 4096 < json.size()});
        }
        host_.responder = [this](HostResponse& response, const HostRequest&) {
            if (GetParam() == AnswerKind::Flat) {
                response.result.value = flatAnswer_;
                response.status = 200;
                response.release = forgetAnswer;
            } else {
                script_.reads = 0;
                answerStream(response, script_);
            }
        };
    }
    ~MemoryExhaustion() override { releaseFlat(flatAnswer_); }

    FakeHost host_;
    LoadedPlugin loaded_{host_};
    FlatValue flatAnswer_{};
    StreamScript script_;
};

TEST_P(MemoryExhaustion, EveryFailedReadNamesItsCause) {
    ProbePlugin& plugin = loaded_.plugin();
    std::size_t needed = 0;
    {
        LimitedHeap unlimited(SIZE_MAX);
        ApiResult<std::vector<Value>> read =
            plugin.client().requestValue<std::vector<Value>>(HttpMethod::Get, kGameQueuesPath);
        ASSERT_TRUE(read.ok()) << read.error().message;
        ASSERT_EQ(read.value().size(), kQueueCount);
        needed = unlimited.peak();
    }
    const std::size_t step = needed / kLimitSteps + 1;
    std::optional<std::size_t> firstNamed; // the smallest limit with which a failed read was named
    for (std::size_t limit = 0; limit <= needed + step; limit += step) {
        std::optional<ApiResult<std::vector<Value>>> read;
        try {
            LimitedHeap heap(limit);
            read.emplace(plugin.client().requestValue<std::vector<Value>>(HttpMethod::Get, kGameQueuesPath));
        } catch (const std::bad_alloc&) {
            // Without memory even to make an error there is nothing to name. More memory never
            // makes that worse: what a failed read held is freed to make room for its error.
            EXPECT_FALSE(firstNamed) << "a read with " << limit << " bytes failed without an error, one with "
                                     << *firstNamed << " bytes named its failure";
            continue;
        }
        if (read->ok()) {
            EXPECT_EQ(read->value().size(), kQueueCount);
            continue;
        }
        const ApiError& error = read->error();
        EXPECT_EQ(error.details.at("error").textValue(), kOutOfMemory)
            << error.message << " (" << limit << " bytes)";
        EXPECT_TRUE(error.message.ends_with(std::string(": ") + kOutOfMemory)) << error.message;
        if (!firstNamed) {
            firstNamed = limit;
        }
    }
    EXPECT_TRUE(firstNamed) << "no limit fell on the reading of the answer";
}

INSTANTIATE_TEST_SUITE_P(Answers, MemoryExhaustion, ::testing::Values(AnswerKind::Flat, AnswerKind::Streamed),
                         [](const ::testing::TestParamInfo<AnswerKind>& info) {
                             return info.param == AnswerKind::Flat ? std::string("Flat")
                                                                   : std::string("Streamed");
                         });

// A host that could not keep the text of its own failure (as the router's response writer leaves
// it without memory) still answers a failure: it is named, and its status kept.
TEST(FailedAnswers, AFailureWithoutTextIsNamed) {
    FakeHost host;
    LoadedPlugin loaded(host);
    host.responder = [](HostResponse& response, const HostRequest&) {
        answerValue(response, signedValue(5));
        response.result.failed = 1;
        response.status = 500;
    };
    const ApiResult<std::int32_t> read =
        loaded.plugin().client().requestValue<std::int32_t>(HttpMethod::Get, "/x");
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().message, std::string("Error response for GET /x: ") + kOutOfMemory);
    EXPECT_EQ(read.error().errorCode, 500);
}

} // namespace

} // namespace kiv::test
