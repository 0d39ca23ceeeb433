// Requests through the dispatch entry of the published records, as a host sends them, and
// the response records as a host reads and releases them. Packed fields are compared as
// values (unary +), never bound to references.
#include "binding/binding_declaration.h"
#include "format/message_format.h"
#include "router/response_writer.h"
#include "router_fixture.h"
#include "value_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

namespace kiv::test {
namespace {

struct QueueShutdownStatus {
    bool isDisabled = false;
};

class TextStream final : public ResponseBodyStream {
  public:
    TextStream(std::string text, bool& destroyed) : text_(std::move(text)), destroyed_(destroyed) {}
    ~TextStream() override { destroyed_ = true; }
    bool read(char* buffer, std::uint32_t* length, std::uint8_t* moreData) override {
        const std::size_t count = std::min<std::size_t>(*length, text_.size() - offset_);
        std::memcpy(buffer, text_.data() + offset_, count);
        offset_ += count;
        *length = static_cast<std::uint32_t>(count);
        *moreData = offset_ < text_.size() ? 1 : 0;
        return true;
    }
    std::uint32_t announcedLength() const override { return static_cast<std::uint32_t>(text_.size()); }

  private:
    std::string text_;
    std::size_t offset_ = 0;
    bool& destroyed_;
};

class DispatchTest : public RouterFixture {
  protected:
    DispatchTest() {
        declareStruct<QueueShutdownStatus>(registry, {"QueueShutdownStatus"},
                                           {{"isDisabled", &QueueShutdownStatus::isDisabled}});
        router
            .addGet("/kiv-kr-shutdown-law/v1/queue-status/{queue_id}",
                    [](CallContext& call, std::int32_t queueId) {
                        if (queueId < 0) {
                            call.fail(404, formatMessage("Unknown queueId: %1", {queueId}));
                        }
                        return QueueShutdownStatus{queueId == 450};
                    })
            .pathArgument("queue_id");
    }

    TestResponse& get(std::string path, TestResponse& response, std::uint32_t method = KIV_HTTP_METHOD_GET) {
        TestRequest request;
        request.method = method;
        request.path = std::move(path);
        call(kQueueStatus, request, response);
        return response;
    }

    static constexpr std::string_view kQueueStatus = "GetKivKrShutdownLawV1QueueStatusByQueueId";
};

struct QueueCase {
    std::string_view path;
    std::uint32_t method;
    std::string_view answer;
    std::uint32_t status;
};

class QueueStatusTest : public DispatchTest, public ::testing::WithParamInterface<QueueCase> {};

TEST_P(QueueStatusTest, AnswersWithTheValueOrTheError) {
    TestResponse response;
    get(std::string(GetParam().path), response, GetParam().method);
    EXPECT_EQ(response.failed() ? response.error() : valueText(response.value()), GetParam().answer);
    EXPECT_EQ(response.status(), GetParam().status);
    EXPECT_EQ(+response.record().release, &releaseResponse);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, QueueStatusTest,
    ::testing::Values(
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/450", KIV_HTTP_METHOD_GET, "{isDisabled:true}", 0},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/0x10", KIV_HTTP_METHOD_GET, "{isDisabled:false}", 0},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/-2", KIV_HTTP_METHOD_GET, "Unknown queueId: -2", 404},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/abc", KIV_HTTP_METHOD_GET,
                  "Value abc for 'queue_id' of type int32 is in an incorrect format", 0},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/", KIV_HTTP_METHOD_GET,
                  "Expected value for argument 'queue_id'.", 0},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/1/2", KIV_HTTP_METHOD_GET, "Invalid function", 404},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/1", KIV_HTTP_METHOD_POST, "Invalid function", 404},
        QueueCase{"/kiv-kr-shutdown-law/v1/queue-status/1", 99, "Invalid function", 404}));

TEST_F(DispatchTest, ResponseCarriesStatusHeadersHostFieldsAndStreamedBody) {
    bool destroyed = false;
    router.addGet("/stream", [&destroyed](CallContext& call) {
        call.status = 206;
        call.headers = {{"X-B", "2"}, {"Content-Type", "text/plain"}};
        call.hostFlag = 7;
        call.hostCode = 3;
        call.hostText = "ctx";
        call.setBody(std::make_unique<TextStream>("hello", destroyed));
        return std::string("ok");
    });
    TestRequest request;
    request.path = "/stream";
    TestResponse response;
    call("GetStream", request, response);
    const HostResponse& record = response.record();
    EXPECT_EQ(valueText(response.value()), "'ok'");
    EXPECT_EQ(+record.status, 206u);
    EXPECT_EQ(+record.contextFlag, 7);
    EXPECT_EQ(+record.contextCode, 3u);
    EXPECT_STREQ(record.contextText, "ctx");
    ASSERT_EQ(+record.headerCount, 2u);
    EXPECT_STREQ(record.headers[0].name, "Content-Type");
    EXPECT_STREQ(record.headers[1].value, "2");
    ASSERT_NE(+record.readBody, nullptr);
    EXPECT_EQ(+record.bodyLength, 5u);
    std::array<char, 3> buffer{};
    std::string read;
    for (std::uint8_t more = 1; more != 0;) {
        std::uint32_t length = buffer.size();
        const BodyReadFn readBody = record.readBody;
        ASSERT_EQ(readBody(record.bodyStream, buffer.data(), &length, &more), 1);
        read.append(buffer.data(), length);
    }
    EXPECT_EQ(read, "hello");
    EXPECT_FALSE(destroyed);
    const BodyReleaseFn releaseBody = record.releaseBody;
    releaseBody(record.bodyStream);
    EXPECT_TRUE(destroyed);
}

TEST_F(DispatchTest, ErrorDropsTheBodyAndHostCodesOutsideOneToThreeReadZero) {
    bool destroyed = false;
    router.addGet("/refuse", [&destroyed](CallContext& call) {
        call.hostCode = 4;
        call.setBody(std::make_unique<TextStream>("x", destroyed));
        call.fail(403, "no");
    });
    TestRequest request;
    request.path = "/refuse";
    TestResponse response;
    call("GetRefuse", request, response);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(response.error(), "no");
    EXPECT_EQ(response.status(), 403u);
    EXPECT_EQ(+response.record().contextCode, 0u);
    EXPECT_EQ(+response.record().bodyStream, nullptr);
    EXPECT_STREQ(response.record().contextText, "");
}

TEST_F(DispatchTest, HandlerExceptionsBecomeErrorTexts) {
    router.addGet("/std", []() -> int { throw std::runtime_error("boom"); });
    router.addGet("/other", []() -> int { throw 3; });
    TestRequest request;
    request.path = "/std";
    TestResponse stdResponse;
    call("GetStd", request, stdResponse);
    EXPECT_EQ(stdResponse.error(), "boom");
    request.path = "/other";
    TestResponse otherResponse;
    call("GetOther", request, otherResponse);
    EXPECT_EQ(otherResponse.error(), "Unexpected error while serving the request.");
}

TEST_F(DispatchTest, RequestInfoDescribesTheRequest) {
    RequestInfo seen;
    router
        .addCustom("PURGE", "/info/{+rest}", [&seen](const RequestInfo* info, std::string) { seen = *info; })
        .pathArgument("rest");
    TestRequest request;
    request.method = KIV_HTTP_METHOD_CUSTOM;
    request.customMethod = "PURGE";
    request.path = "/info/a/b";
    request.userData = 0x5A;
    request.header("h", "v");
    TestResponse response;
    call("PurgeInfoByRest", request, response);
    ASSERT_FALSE(response.failed()) << response.error();
    EXPECT_EQ(seen.method, HttpMethod::Custom);
    EXPECT_EQ(seen.customMethod, "PURGE");
    EXPECT_EQ(seen.path, "/info/a/b");
    EXPECT_EQ(seen.userData, 0x5Au);
    EXPECT_EQ(seen.registry, &registry);
    EXPECT_EQ(seen.headers, (std::map<std::string, std::string>{{"h", "v"}}));
    ASSERT_EQ(seen.arguments.size(), 1u);
    EXPECT_EQ(seen.arguments[0].getString({}), "a/b");
    EXPECT_GT(seen.receiveTime, 15778368000000000u); // after 2020-01-01

    request.customMethod = nullptr;
    TestResponse unnamed;
    call("PurgeInfoByRest", request, unnamed);
    EXPECT_EQ(unnamed.error(), "Invalid function");
}

TEST_F(DispatchTest, MegabytePathsAreAnswered) {
    router
        .addGet("/files/{+path}/{name}",
                [](std::string path, std::string name) { return std::to_string(path.size()) + " " + name; })
        .pathArgument("path")
        .pathArgument("name");
    std::string path = "/files/";
    for (int i = 0; i < (1 << 19); ++i) {
        path += "a/";
    }
    TestResponse matched;
    TestRequest request;
    request.path = path + "n";
    call("GetFilesByPathByName", request, matched);
    EXPECT_EQ(valueText(matched.value()), "'1048575 n'");
    TestResponse refused;
    get("/kiv-kr-shutdown-law/v1/queue-status/" + path, refused);
    EXPECT_EQ(refused.error(), "Invalid function");
}

int gForeignReleases = 0;
void KIV_CDECL foreignRelease(HostResponse* response) noexcept {
    ++gForeignReleases;
    releaseResponse(response);
}

TEST_F(DispatchTest, StoredReleaseRoutineRunsBeforeFillingAndReleaseZeroesTheRecord) {
    TestResponse response;
    get("/kiv-kr-shutdown-law/v1/queue-status/-1", response); // error text and headers to free
    get("/kiv-kr-shutdown-law/v1/queue-status/1", response);  // the first answer is released first
    EXPECT_FALSE(response.failed());
    response.get()->release = &foreignRelease;
    get("/kiv-kr-shutdown-law/v1/queue-status/2", response);
    EXPECT_EQ(gForeignReleases, 1);
    EXPECT_EQ(+response.record().release, &releaseResponse);

    const ResponseReleaseFn release = response.record().release;
    release(response.get());
    const auto* bytes = reinterpret_cast<const unsigned char*>(&response.record());
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof(HostResponse), [](unsigned char b) { return b == 0; }));
}

TEST(DispatchEntryTest, RequestsWithoutContextAreRefused) {
    DispatchRequest(nullptr, nullptr);
    TestResponse response;
    DispatchRequest(response.get(), nullptr);
    EXPECT_EQ(response.error(), "Invalid function");
    EXPECT_EQ(response.status(), 404u);
    const HostRequest request{};
    TestResponse noContext;
    DispatchRequest(noContext.get(), &request);
    EXPECT_EQ(noContext.error(), "Invalid function");
}

} // namespace
} // namespace kiv::test
