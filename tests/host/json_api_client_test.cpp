// Requests to other plugins' resources: error answers, streamed bodies and conversion to native
// types, with every answer released exactly once.
#include "host/streamed_body.h"
#include "loaded_plugin.h"
#include "value/json_reader.h"

#include "../binding/value_builders.h"
#include "../router/value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv::test {

namespace {

constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";

class JsonApiClient : public ::testing::Test {
  protected:
    void answerWith(FakeHost::Responder responder) { host.responder = std::move(responder); }
    void streamScript() {
        answerWith([this](HostResponse& response, const HostRequest&) { answerStream(response, script); });
    }

    FakeHost host;
    LoadedPlugin loaded{host};
    ProbePlugin& plugin = loaded.plugin();
    StreamScript script;
};

TEST_F(JsonApiClient, RequestsCarryMethodPathAndHostContext) {
    HostRequest seen{};
    std::string seenPath;
    answerWith([&](HostResponse& response, const HostRequest& request) {
        seen = request;
        seenPath = request.path;
        answerValue(response, signedValue(1));
    });
    ASSERT_TRUE(plugin.client().requestValue<std::int32_t>(HttpMethod::Put, "/a b?c=%20").ok());
    EXPECT_EQ(seen.method, static_cast<std::uint32_t>(KIV_HTTP_METHOD_PUT));
    EXPECT_EQ(seenPath, "/a b?c=%20");
    EXPECT_EQ(seen.userData, host.hostInterface()->hostContext);
    EXPECT_EQ(seen.arguments, nullptr);
    EXPECT_EQ(seen.argumentCount, 0u);
    EXPECT_EQ(seen.context, nullptr);
    EXPECT_EQ(seen.headers, nullptr);
    EXPECT_EQ(seen.body, nullptr);
    EXPECT_EQ(seen.customMethod, nullptr);
}

TEST_F(JsonApiClient, ErrorAnswersKeepTheirStatusWhateverTheValue) {
    answerWith([](HostResponse& response, const HostRequest&) {
        answerValue(response, signedValue(5));
        answerError(response, "No such resource", 404);
    });
    ApiResult<std::vector<Value>> result =
        plugin.client().requestValue<std::vector<Value>>(HttpMethod::Get, kQueuesPath);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().errorCode, 404);
    EXPECT_EQ(result.error().message, "Error response for GET /kiv-game-queues/v1/queues: No such resource");
    const NamedDetails& details = result.error().details;
    EXPECT_EQ(details.at("method").textValue(), "GET");
    EXPECT_EQ(details.at("url").textValue(), kQueuesPath);
    EXPECT_EQ(details.at("error").textValue(), "No such resource");
    EXPECT_EQ(details.at("errorCode_int").signedValue(), 404);
}

TEST_F(JsonApiClient, ErrorTextsWithPercentSignsStayAsTheyAre) {
    answerWith(
        [](HostResponse& response, const HostRequest&) { answerError(response, "100%% %1 {url} %s", 500); });
    ApiResult<Value> result = plugin.client().requestValue<Value>(HttpMethod::Delete, "/x");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message, "Error response for DELETE /x: 100%% %1 {url} %s");
}

TEST_F(JsonApiClient, ANonCollectionRequestedAsAListNamesTheResult) {
    answerWith([](HostResponse& response, const HostRequest&) { answerValue(response, signedValue(5)); });
    ApiResult<std::vector<Value>> result =
        plugin.client().requestValue<std::vector<Value>>(HttpMethod::Get, kQueuesPath);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().errorCode, 0);
    EXPECT_EQ(result.error().message,
              "Error converting response for GET /kiv-game-queues/v1/queues: Couldn't assign "
              "value to '<result>' of type vector because the input not a collection.");
}

TEST_F(JsonApiClient, UnknownFlatKindsAreConversionErrors) {
    answerWith([](HostResponse& response, const HostRequest&) {
        response.result.value.kind = 77;
        response.status = 200;
    });
    ApiResult<Value> result = plugin.client().requestValue<Value>(HttpMethod::Get, "/odd");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().message.rfind("Error converting response for GET /odd: ", 0), 0u);
}

TEST_F(JsonApiClient, AnswersConvertToRegisteredTypes) {
    answerWith([](HostResponse& response, const HostRequest&) {
        answerValue(response, structureOf({{"uri", stringValue("/a")},
                                           {"eventType", stringValue("Update")},
                                           {"data", signedValue(5)}}));
    });
    ApiResult<PluginResourceEvent> result =
        plugin.client().requestValue<PluginResourceEvent>(HttpMethod::Get, "/e");
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value().uri, "/a");
    EXPECT_EQ(result.value().eventType, PluginResourceEventType::Update);
    EXPECT_EQ(result.value().data.getSigned(0), 5);
}

struct StreamCase {
    const char* name;
    std::vector<StreamScript::Chunk> chunks;
    bool repeatLast;
    const char* error; // null: the body parses; "json": the JSON reader's own message
    int expectedYields;
};

class StreamedBodies : public JsonApiClient, public ::testing::WithParamInterface<StreamCase> {};

std::string jsonOfLength(std::size_t length) {
    std::string text = "\"";
    text.append(length - 2, 'x');
    return text + "\"";
}

TEST_P(StreamedBodies, ReadToTheEndOrFailAndReleaseOnce) {
    script.chunks = GetParam().chunks;
    script.repeatLast = GetParam().repeatLast;
    script.announcedLength = 0xFFFFFFFFFFFFull; // a hint only, never reserved as given
    streamScript();
    ApiResult<Value> result = plugin.client().requestValue<Value>(HttpMethod::Get, "/stream");
    if (GetParam().error) {
        ASSERT_FALSE(result.ok());
        std::string error = GetParam().error;
        if (error == "json") {
            std::string body;
            for (const StreamScript::Chunk& chunk : GetParam().chunks) {
                body += chunk.bytes;
            }
            error = parseJson(body).errorText();
        }
        EXPECT_EQ(result.error().message, "Error reading streamed response for GET /stream: " + error);
        EXPECT_EQ(result.error().errorCode, 0);
    } else {
        ASSERT_TRUE(result.ok()) << result.error().message;
    }
    EXPECT_EQ(script.releases, 1);
    EXPECT_EQ(host.yields, GetParam().expectedYields);
    EXPECT_EQ(host.endWaits, GetParam().expectedYields);
    EXPECT_EQ(host.waitLabels, std::vector<std::string>(GetParam().expectedYields, "Wait: yield"));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, StreamedBodies,
    ::testing::Values(
        StreamCase{"OneFullChunkThenEmpty", {{jsonOfLength(4096), true}, {"", false}}, false, nullptr, 0},
        StreamCase{"ShortChunkYieldsOnce", {{"[1,", true}, {"2]", false}}, false, nullptr, 1},
        StreamCase{"EmptyChunksYieldEachTime", {{"", true}, {"", true}, {"{}", false}}, false, nullptr, 2},
        StreamCase{"ReadFailure", {{"[1,", true}, {"", false, false}}, false, "Stream read error", 1},
        StreamCase{"LengthBeyondTheBuffer", {{"[1]", true, true, 5000}}, false, "Stream read error", 0},
        StreamCase{"BadJson", {{"{\"a\":", false}}, false, "json", 0}),
    [](const ::testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

// Keeps what reached it: how many flat records, and the text of each tree.
class RecordingReader final : public ResourceReader {
  public:
    void readTree(const Value& data) override { trees.push_back(valueText(data)); }
    bool readFlat(const FlatValue& data, FlatResult& failure) override {
        ++flatRecords;
        return ResourceReader::readFlat(data, failure);
    }

    int flatRecords = 0;
    std::vector<std::string> trees;
};

struct IntoCase {
    const char* name;
    FakeHost::Responder responder;
    int flatRecords;
    std::vector<std::string> trees;
    const char* error; // null: the read succeeds
};

class ReadsInto : public JsonApiClient, public ::testing::WithParamInterface<IntoCase> {};

// A flat answer reaches the reader as the host's record, a streamed one as its tree; a failed
// answer or reading reaches the reader's tree not at all.
TEST_P(ReadsInto, TheFormTheAnswerCameIn) {
    answerWith(GetParam().responder);
    RecordingReader reader;
    const ApiResult<void> result = plugin.client().requestInto(HttpMethod::Get, "/r", reader);
    EXPECT_EQ(reader.flatRecords, GetParam().flatRecords);
    EXPECT_EQ(reader.trees, GetParam().trees);
    if (GetParam().error) {
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().message.rfind(GetParam().error, 0), 0u) << result.error().message;
    } else {
        EXPECT_TRUE(result.ok()) << result.error().message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReadsInto,
    ::testing::Values(IntoCase{"Flat",
                               [](HostResponse& response, const HostRequest&) {
                                   answerValue(response, structureOf({{"a", signedValue(1)}}));
                               },
                               1,
                               {"{a:i1}"},
                               nullptr},
                      IntoCase{"Streamed",
                               [](HostResponse& response, const HostRequest&) {
                                   static StreamScript script;
                                   script = StreamScript{};
                                   script.chunks = {{"[1, 2]", false}};
                                   answerStream(response, script);
                               },
                               0,
                               {"[u1,u2]"},
                               nullptr},
                      IntoCase{"UnreadableRecord",
                               [](HostResponse& response, const HostRequest&) {
                                   response.result.value.kind = 77;
                                   response.status = 200;
                               },
                               1,
                               {},
                               "Error converting response for GET /r: "},
                      IntoCase{"FailedAnswer",
                               [](HostResponse& response, const HostRequest&) {
                                   answerError(response, "No such resource", 404);
                               },
                               0,
                               {},
                               "Error response for GET /r: No such resource"}),
    [](const ::testing::TestParamInfo<IntoCase>& info) { return std::string(info.param.name); });

TEST_F(JsonApiClient, AStreamOnAnErrorAnswerIsReleasedToo) {
    script.chunks = {{"[]", false}};
    answerWith([this](HostResponse& response, const HostRequest&) {
        answerStream(response, script);
        answerError(response, "Gone", 410);
    });
    ApiResult<Value> result = plugin.client().requestValue<Value>(HttpMethod::Get, "/gone");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().errorCode, 410);
    EXPECT_EQ(script.reads, 0u);
    EXPECT_EQ(script.releases, 1);
}

TEST_F(JsonApiClient, RawRequestsLeaveTheAnswerToTheCaller) {
    answerWith(
        [](HostResponse& response, const HostRequest&) { answerValue(response, stringValue("kept")); });
    HostResponse response;
    ASSERT_TRUE(plugin.client().requestRaw(response, HttpMethod::Get, "/raw").ok());
    // Read out of the packed record before comparing.
    const std::uint32_t kind = response.result.value.kind;
    const ResponseReleaseFn release = response.release;
    EXPECT_EQ(kind, static_cast<std::uint32_t>(KIV_FLAT_STRING_OWNED));
    EXPECT_NE(release, nullptr);
    releaseResponse(response);
    const std::uint32_t released = response.result.value.kind;
    EXPECT_EQ(released, static_cast<std::uint32_t>(KIV_FLAT_EMPTY));
    releaseResponse(response); // a released record holds nothing
}

// A body as long as the limit is read; a byte more, or a stream that never ends, is refused in
// words that name the limit, not as a failed read.
TEST_F(JsonApiClient, BodiesAtTheLimitAreReadAndLongerOnesRefused) {
    const std::string refusal =
        "Error reading streamed response for GET /huge: Streamed body longer than the "
        "limit of " +
        std::to_string(kStreamedBodyLimit) + " bytes";
    for (const std::size_t length : {kStreamedBodyLimit - 1, kStreamedBodyLimit, kStreamedBodyLimit + 1}) {
        std::string body = "[" + std::string(length - 2, ' ') + "]";
        script = StreamScript{};
        for (std::size_t at = 0; at < body.size(); at += kStreamChunkSize) {
            script.chunks.push_back({body.substr(at, kStreamChunkSize), at + kStreamChunkSize < body.size()});
        }
        streamScript();
        ApiResult<Value> result = plugin.client().requestValue<Value>(HttpMethod::Get, "/huge");
        if (length <= kStreamedBodyLimit) {
            EXPECT_TRUE(result.ok()) << length << ": " << result.error().message;
        } else {
            ASSERT_FALSE(result.ok());
            EXPECT_EQ(result.error().message, refusal);
        }
        EXPECT_EQ(script.releases, 1);
    }
    script = StreamScript{};
    script.chunks = {{"[" + std::string(4095, ' '), true}, {std::string(4096, ' '), true}};
    script.repeatLast = true;
    streamScript();
    ApiResult<Value> endless = plugin.client().requestValue<Value>(HttpMethod::Get, "/huge");
    ASSERT_FALSE(endless.ok());
    EXPECT_EQ(endless.error().message, refusal);
    EXPECT_EQ(script.reads, kStreamedBodyLimit / kStreamChunkSize + 1);
    EXPECT_EQ(script.releases, 1);
}

} // namespace

} // namespace kiv::test
