// Who may use `kivhost serve`, over raw HTTP on loopback: the Host must name the server (DNS
// rebinding), requests that change state must come from its own pages or a listed origin with a
// JSON body, and only listed origins get CORS answers, preflights included; clients that send
// nothing cannot keep others out.
#include "law_scenario.h"
#include "raw_http.h"
#include "serve_process.h"

#include <memory>
#include <vector>

namespace kiv::test {
namespace {

using namespace std::chrono_literals;

const std::string kListed = "http://localhost:5173";

TEST(ServeAccessTest, HostAndOriginDecideWhatIsAnsweredAndWhatMayChangeState) {
    ScenarioFile scenario("access.yaml", kNoLoginYet);
    ServeProcess serve(
        {scenario.path(), "--plugin", KIVHOST_PLUGIN, "--allow-origin", kListed, "--allow-host", "dev.test"});
    const int port = serve.port();
    ASSERT_NE(port, 0);
    const std::string p = std::to_string(port);
    const std::string own = "http://127.0.0.1:" + p;
    const std::string json = "Content-Type: application/json\r\n";
    const auto withHost = [&](const std::string& host, const std::string& method, const std::string& target) {
        return method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
    };
    const struct {
        std::string name;
        std::string request;
        int status;
        std::string allowOrigin; // the Access-Control-Allow-Origin expected
    } cases[] = {
        {"rebound name", withHost("evil.example:" + p, "GET", "/kivhost/state"), 421, ""},
        {"rebound dashboard", withHost("evil.example:" + p, "GET", "/"), 421, ""},
        {"rebound PUT", withHost("evil.example:" + p, "PUT", kLoginControl), 421, ""},
        {"another port", withHost("127.0.0.1:1", "GET", "/kivhost/state"), 421, ""},
        {"no Host", "GET /kivhost/state HTTP/1.1\r\n\r\n", 421, ""},
        {"localhost", withHost("LocalHost:" + p, "GET", "/kivhost/state"), 200, ""},
        {"IPv6 loopback", withHost("[::1]:" + p, "GET", "/kivhost/state"), 200, ""},
        {"allowed host", withHost("dev.test:" + p, "GET", "/kivhost/state"), 200, ""},
        {"foreign no-cors POST",
         rawRequest(port, "POST", "/kivhost/clock/advance?minutes=600", "Origin: http://evil.example\r\n"),
         403, ""},
        {"cross-site without Origin",
         rawRequest(port, "POST", "/kivhost/clock/advance?minutes=600", "Sec-Fetch-Site: cross-site\r\n"),
         403, ""},
        {"foreign text/plain PUT",
         rawRequest(port, "PUT", kLoginControl, "Origin: http://evil.example\r\nContent-Type: text/plain\r\n",
                    kLoginPacket),
         403, ""},
        {"own page's form body",
         rawRequest(port, "POST", "/kivhost/clock/advance",
                    "Origin: " + own + "\r\nContent-Type: application/x-www-form-urlencoded\r\n",
                    "minutes=600"),
         415, ""},
        {"a form body is no parameter",
         rawRequest(port, "POST", "/kivhost/clock/advance",
                    "Content-Type: application/x-www-form-urlencoded\r\n", "minutes=600"),
         400, ""},
        {"foreign GET", rawRequest(port, "GET", "/kivhost/resources", "Origin: http://evil.example\r\n"), 200,
         ""},
        {"listed GET", rawRequest(port, "GET", kLaw + "notification", "Origin: " + kListed + "\r\n"), 200,
         kListed},
        {"listed preflight",
         rawRequest(port, "OPTIONS", kLoginControl,
                    "Origin: " + kListed +
                        "\r\nAccess-Control-Request-Method: PUT\r\nAccess-Control-Request-Headers: "
                        "content-type\r\n"),
         204, kListed},
        {"foreign preflight",
         rawRequest(port, "OPTIONS", kLoginControl,
                    "Origin: http://evil.example\r\nAccess-Control-Request-Method: PUT\r\n"),
         403, ""},
        {"listed PUT",
         rawRequest(port, "PUT", kLoginControl, "Origin: " + kListed + "\r\n" + json, kLoginPacket), 201,
         kListed},
        {"own page's POST",
         rawRequest(port, "POST", "/kivhost/clock/advance?minutes=1", "Origin: " + own + "\r\n"), 200, ""},
    };
    for (const auto& c : cases) {
        RawHttp client(port);
        ASSERT_TRUE(client.send(c.request)) << c.name;
        const std::optional<RawAnswer> answer = client.answer();
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->status, c.status) << c.name << ": " << answer->body;
        EXPECT_EQ(answer->header("Access-Control-Allow-Origin"), c.allowOrigin) << c.name;
        if (c.status == 204) {
            EXPECT_EQ(answer->header("Access-Control-Allow-Headers"), "content-type");
            EXPECT_NE(answer->header("Access-Control-Allow-Methods").find("PUT"), std::string::npos);
        }
    }
    // Only the own page's minute moved the clock; the login packet came from the listed origin.
    RawHttp client(port);
    client.send(rawRequest(port, "GET", "/kivhost/state"));
    EXPECT_EQ(parsed(client.answer().value_or(RawAnswer{}).body)["t"].getUnsigned(0), 60u);
    client.send(rawRequest(port, "GET", "/kivhost/resources"));
    EXPECT_NE(client.answer().value_or(RawAnswer{}).body.find("login-data-packet"), std::string::npos);
}

// Clients that connect and send nothing, or start a header block and never end it, hold their
// connections only until a request's time runs out: with every connection slot so taken, a client
// waiting behind them in the backlog is served once they are closed.
TEST(ServeAccessTest, SilentClientsCannotLockOthersOut) {
    ScenarioFile scenario("silent.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    const int port = serve.port();
    ASSERT_NE(port, 0);
    std::vector<std::unique_ptr<RawHttp>> silent;
    for (int i = 0; i < 64; ++i) {
        silent.push_back(std::make_unique<RawHttp>(port));
        if (i % 2 == 1) {
            silent.back()->send("GET /kivhost/state HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nX-Never-Ends: ");
        }
    }
    RawHttp client(port);
    client.send(rawRequest(port, "GET", "/kivhost/state"));
    const std::optional<RawAnswer> answer = client.answer(60s);
    ASSERT_TRUE(answer) << "still locked out after a minute";
    EXPECT_EQ(answer->status, 200);
}

} // namespace
} // namespace kiv::test
