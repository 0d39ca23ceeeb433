// `kivhost serve`'s message framing and cross-origin answers, over raw sockets on loopback: the
// transfer codings and folded header lines that a proxy and the server could read apart, and the
// credentials and body types an allowed page sends.
#include "law_scenario.h"
#include "raw_http.h"
#include "serve_process.h"

namespace kiv::test::protocol {
namespace {

using namespace std::chrono_literals;

const std::string kPage = "http://localhost:5173";

// Framing that could be read two ways is refused and the connection closed: the bytes after
// the header block are never read as a request of their own, and nothing is stored.
TEST(ServeFramingTest, UnknownChainedOrFoldedFramingIsRefusedAndClosed) {
    ScenarioFile scenario("framing.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    const int port = serve.port();
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const std::string smuggled = "GET /kivhost/resources HTTP/1.1\r\n" + host + "\r\n";
    const std::string chunkedBody = "5\r\n[1,2]\r\n0\r\n\r\n";
    const struct {
        std::string name;
        std::string head; // after the request line
        std::string body;
        int status;
    } cases[] = {
        {"an unknown coding", host + "Transfer-Encoding: xchunked\r\n", chunkedBody, 501},
        {"identity after chunked", host + "Transfer-Encoding: chunked, identity\r\n", chunkedBody, 501},
        {"chunked after gzip", host + "Transfer-Encoding: gzip, chunked\r\n", chunkedBody, 501},
        {"chunked twice", host + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", chunkedBody,
         501},
        {"a folded Host", "Host:\r\n 127.0.0.1:" + std::to_string(port) + "\r\nContent-Length: 5\r\n",
         "[1,2]", 400},
        {"a folded Content-Length", host + "Content-Length:\r\n 5\r\n", "[1,2]", 400},
        {"a folded Transfer-Encoding", host + "Transfer-Encoding:\r\n\tchunked\r\n", chunkedBody, 400},
        {"another folded field", host + "X-Note: one\r\n two\r\nContent-Length: 5\r\n", "[1,2]", 400},
    };
    for (const auto& c : cases) {
        RawHttp client(port);
        client.send("PUT /kivhost/resources/t/v1/framed HTTP/1.1\r\n" + c.head + "\r\n" + c.body + smuggled);
        const std::optional<RawAnswer> answer = client.answer();
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->status, c.status) << c.name << ": " << answer->body;
        EXPECT_EQ(answer->header("Connection"), "close") << c.name;
        EXPECT_TRUE(client.closedWithin(10s)) << c.name;
        EXPECT_EQ(client.receive(0, 0ms), "") << c.name << ": the bytes after the head were answered";
    }
    RawHttp chunked(port); // the one coding taken, in any case
    chunked.send("PUT /kivhost/resources/t/v1/framed HTTP/1.1\r\n" + host +
                 "Transfer-Encoding: Chunked\r\n\r\n" + chunkedBody);
    EXPECT_EQ(chunked.answer().value_or(RawAnswer{}).status, 201);
    chunked.send(smuggled); // and the connection goes on with the next request
    const RawAnswer resources = chunked.answer().value_or(RawAnswer{});
    EXPECT_EQ(resources.status, 200);
    EXPECT_EQ(resources.body.find("framed"), resources.body.rfind("framed")) << "stored once, by this PUT";
    EXPECT_NE(resources.body.find("\"/t/v1/framed\":[1,2]"), std::string::npos) << resources.body;
}

// With --allow-origin, the listed page's credentialed requests and streams are let through
// (Access-Control-Allow-Credentials on every answer it gets, and on none other), and it may send
// a scenario as YAML; a type the server does not read is refused with the types it does.
TEST(ServeCorsTest, AListedPageSendsCredentialsAndYaml) {
    ScenarioFile scenario("cors.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN, "--allow-origin", kPage});
    const int port = serve.port();
    const std::string own = "http://127.0.0.1:" + std::to_string(port);
    const struct {
        std::string name;
        std::string request;
        int status;
        std::string credentials;
    } cases[] = {
        {"a listed page's GET", rawRequest(port, "GET", "/kivhost/state", "Origin: " + kPage + "\r\n"), 200,
         "true"},
        {"a listed page's preflight",
         rawRequest(port, "OPTIONS", "/kivhost/reset",
                    "Origin: " + kPage + "\r\nAccess-Control-Request-Method: POST\r\n"),
         204, "true"},
        {"a listed page's YAML reset",
         rawRequest(port, "POST", "/kivhost/reset",
                    "Origin: " + kPage + "\r\nContent-Type: application/yaml\r\n", kNoLoginYet),
         200, "true"},
        {"the server's own page", rawRequest(port, "GET", "/kivhost/state", "Origin: " + own + "\r\n"), 200,
         ""},
        {"no origin", rawRequest(port, "GET", "/kivhost/state"), 200, ""},
    };
    for (const auto& c : cases) {
        RawHttp client(port);
        client.send(c.request);
        // A loaded machine running the Windows build under wine has taken over ten seconds.
        const RawAnswer answer = client.answer(60s).value_or(RawAnswer{});
        EXPECT_EQ(answer.status, c.status) << c.name << ": " << answer.body;
        EXPECT_EQ(answer.header("Access-Control-Allow-Credentials"), c.credentials) << c.name;
    }

    RawHttp stream(port);
    stream.send(rawRequest(port, "GET", "/events", "Origin: " + kPage + "\r\n"));
    ASSERT_TRUE(stream.waitFor("\r\n\r\n", 10s));
    EXPECT_NE(stream.receive(0, 0ms).find("Access-Control-Allow-Credentials: true\r\n"), std::string::npos);

    RawHttp plain(port);
    plain.send(rawRequest(port, "POST", "/kivhost/reset",
                          "Origin: " + kPage + "\r\nContent-Type: text/plain\r\n", kNoLoginYet));
    const RawAnswer refused = plain.answer().value_or(RawAnswer{});
    EXPECT_EQ(refused.status, 415);
    EXPECT_NE(refused.body.find("application/yaml"), std::string::npos) << refused.body;
}

} // namespace
} // namespace kiv::test::protocol
