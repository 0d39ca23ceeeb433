// The dashboard in headless Chromium: the page loads from `kivhost serve`, its buttons move the
// clock, and it shows the queues locking, WARNING and CUT_OFF as the default scenario plays. The
// page after the cut-off is kept as a PNG in the build folder.
#include "devtools_pipe.h"
#include "law_scenario.h"
#include "raw_http.h"
#include "serve_process.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace kiv::test {
namespace {

std::string text(const std::string& selector) {
    return "(document.querySelector('" + selector + "') || {}).textContent || ''";
}

std::string quotedJson(const std::string& text) {
    return "\"" + text + "\"";
}

std::string click(const std::string& id) {
    return "document.getElementById('" + id + "').click(), 'clicked'";
}

std::string queueState(const std::string& queue) {
    return text("tr[data-queue=\"" + queue + "\"] td:last-child");
}

const std::string kReady = "document.body && document.body.dataset.ready || ''";

// A request on a connection of its own, answered with the status.
int send(int port, const std::string& method, const std::string& target, const std::string& body = {}) {
    RawHttp client(port);
    client.send(
        rawRequest(port, method, target, body.empty() ? "" : "Content-Type: application/json\r\n", body));
    return client.answer().value_or(RawAnswer{}).status;
}

TEST(DashboardBrowserTest, ButtonsMoveTheClockThroughTheQueueLocksWarningAndCutOff) {
    // The default scenario's timetable and queues; the login packet comes from the page's form.
    ScenarioFile scenario("dashboard.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    ASSERT_NE(serve.port(), 0);
    DevToolsPipe browser;
    ASSERT_TRUE(browser.started()) << "chromium did not start";
    ASSERT_TRUE(browser.open(serve.address()));

    ASSERT_TRUE(browser.waitFor(kReady, quotedJson("true")));
    EXPECT_TRUE(browser.waitFor(text("#law-status"), quotedJson("NONE")));
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("No cut-off scheduled")));

    EXPECT_EQ(browser.evaluate(
                  "document.getElementById('login-packet').value = "
                  "'{\"minor\": true, \"minorShutdownEnforced\": true, \"minutesUntilMidnight\": 300}', "
                  "'typed'"),
              quotedJson("typed"));
    EXPECT_EQ(browser.evaluate(click("set-login")), quotedJson("clicked"));
    EXPECT_TRUE(browser.waitFor(text("#form-message"), quotedJson("Sent: Create")));
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("Cut-off in 05:00:00")));
    EXPECT_TRUE(browser.waitFor(text("#warning-at"), quotedJson("03:30:00")));
    EXPECT_TRUE(browser.waitFor(text("#cut-off-at"), quotedJson("05:00:00")));
    EXPECT_TRUE(browser.waitFor(queueState("450"), quotedJson("open")));

    // Three hours on: queue 450 locks at 03:00.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(browser.evaluate(click("advance-60")), quotedJson("clicked"));
    }
    EXPECT_TRUE(browser.waitFor(text("#clock"), quotedJson("03:00:00")));
    EXPECT_TRUE(browser.waitFor(queueState("450"), quotedJson("locked")));
    EXPECT_TRUE(browser.waitFor(queueState("830"), quotedJson("open")));

    // Half an hour more: the warning at 03:30.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(browser.evaluate(click("advance-10")), quotedJson("clicked"));
    }
    EXPECT_TRUE(browser.waitFor(text("#law-status"), quotedJson("WARNING")));
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("Cut-off in 01:30:00")));

    // Past 05:00: the cut-off, every queue locked, and the timeline has it all.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(browser.evaluate(click("advance-60")), quotedJson("clicked"));
    }
    EXPECT_EQ(browser.evaluate(click("advance-1")), quotedJson("clicked"));
    EXPECT_TRUE(browser.waitFor(text("#clock"), quotedJson("05:31:00")));
    EXPECT_TRUE(browser.waitFor(text("#law-status"), quotedJson("CUT_OFF")));
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("Cut-off reached")));
    EXPECT_TRUE(
        browser.waitFor("[...document.querySelectorAll('#queues td:last-child')].map(c => c.textContent)"
                        ".join(',')",
                        quotedJson("locked,locked,locked,locked,locked,locked")));
    EXPECT_TRUE(
        browser.waitFor("document.getElementById('timeline').textContent.includes('CUT_OFF')", "true"));

    const std::vector<std::uint8_t> png = browser.screenshot();
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    std::ofstream(KIVHOST_SCREENSHOT, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
}

// A history of 10,000 events after a login packet: the page gets ready, keeps only the newest
// rows and shows the newest at the bottom of the timeline, and its plan (read from the state's
// pending timers, whose scheduling the kept history no longer holds) still shows the cut-off and
// the queues. How long it took is printed, not checked: on a busy machine any bound would fail
// for the machine's sake.
TEST(DashboardBrowserTest, ALongHistoryKeepsTheNewestRowsAndThePlan) {
    ScenarioFile scenario("history.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    ASSERT_EQ(send(serve.port(), "PUT", kLoginControl, kLoginPacket), 201);
    RawHttp writer(serve.port());
    int last = 0;
    for (std::size_t next = 0; next < 10000; ++last) {
        writer.send(rawRequest(serve.port(), "PUT", "/kivhost/resources/t/v1/history",
                               "Content-Type: application/json\r\n", std::to_string(last)));
        ASSERT_TRUE(writer.answer()) << last;
        if (last % 500 == 499) {
            writer.send(rawRequest(serve.port(), "GET", "/kivhost/state"));
            next = parsed(writer.answer().value_or(RawAnswer{}).body)["next"].getUnsigned(0);
        }
    }
    DevToolsPipe browser;
    ASSERT_TRUE(browser.started()) << "chromium did not start";
    ASSERT_TRUE(browser.open(serve.address()));
    ASSERT_TRUE(browser.waitFor(kReady, quotedJson("true")));
    std::printf("dashboard ready after %s ms with a history of 10,000 events\n",
                browser.evaluate("document.body.dataset.readyMs").c_str());
    EXPECT_EQ(browser.evaluate("document.getElementById('timeline').childElementCount"), "1000");
    EXPECT_TRUE(
        browser.waitFor("document.getElementById('timeline').lastElementChild.textContent.endsWith(' " +
                            std::to_string(last - 1) + "')",
                        "true"));
    EXPECT_TRUE(browser.waitFor(text("#cut-off-at"), quotedJson("05:00:00")));
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("Cut-off in 05:00:00")));
    EXPECT_TRUE(browser.waitFor(queueState("450"), quotedJson("open")));
}

// A second login packet replaces the plan: the countdown and the moments follow it. Narrower than
// 900 px the columns stack, the timeline takes the full width and its newest row stays in view.
TEST(DashboardBrowserTest, ASecondPacketsPlanAndTheNarrowLayout) {
    ScenarioFile scenario("plan.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    DevToolsPipe browser;
    ASSERT_TRUE(browser.started()) << "chromium did not start";
    ASSERT_TRUE(browser.open(serve.address()));
    ASSERT_TRUE(browser.waitFor(kReady, quotedJson("true")));
    EXPECT_EQ(send(serve.port(), "PUT", kLoginControl, kLoginPacket), 201);
    EXPECT_TRUE(browser.waitFor(text("#cut-off-at"), quotedJson("05:00:00")));
    EXPECT_EQ(send(serve.port(), "POST", "/kivhost/clock/advance?minutes=60"), 200);
    EXPECT_EQ(send(serve.port(), "PUT", kLoginControl,
                   R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 60})"),
              200);
    EXPECT_TRUE(browser.waitFor(text("#countdown"), quotedJson("Cut-off in 01:00:00")));
    EXPECT_TRUE(browser.waitFor(text("#cut-off-at"), quotedJson("02:00:00")));

    ASSERT_TRUE(browser.resize(800, 900));
    const std::string timeline = "document.querySelector('main > section').getBoundingClientRect()";
    const std::string controls = "document.querySelector('main > div').getBoundingClientRect()";
    EXPECT_TRUE(browser.waitFor(timeline + ".top >= " + controls + ".bottom", "true"));
    EXPECT_TRUE(browser.waitFor(timeline + ".width === " + controls + ".width", "true"));
    EXPECT_TRUE(
        browser.waitFor("(() => { const list = document.getElementById('timeline').getBoundingClientRect();"
                        " const row = document.getElementById('timeline').lastElementChild"
                        ".getBoundingClientRect(); return row.bottom <= list.bottom + 1 && row.top >= "
                        "list.top; })()",
                        "true"));
    // The filter keeps one type.
    EXPECT_EQ(browser.evaluate("(() => { const f = document.getElementById('type-filter'); f.value = 'fire';"
                               " f.dispatchEvent(new Event('change')); return [...document.querySelectorAll("
                               "'#timeline li')].filter(li => getComputedStyle(li).display !== 'none')"
                               ".every(li => li.dataset.type === 'fire'); })()"),
              "true");
}

// The server stops and comes back on the same port as a new instance: the page says it lost the
// connection, then shows the new instance's timeline alone.
TEST(DashboardBrowserTest, ARestartedServerIsShownAsANewInstance) {
    ScenarioFile scenario("restart.yaml", kNoLoginYet);
    auto serve =
        std::make_unique<ServeProcess>(std::vector<std::string>{scenario.path(), "--plugin", KIVHOST_PLUGIN});
    const int port = serve->port();
    DevToolsPipe browser;
    ASSERT_TRUE(browser.started()) << "chromium did not start";
    ASSERT_TRUE(browser.open(serve->address()));
    ASSERT_TRUE(browser.waitFor(kReady, quotedJson("true")));
    EXPECT_TRUE(browser.waitFor(text("#connection"), quotedJson("connected")));
    EXPECT_EQ(send(port, "PUT", kLoginControl, kLoginPacket), 201);
    const std::string hasLogin =
        "document.getElementById('timeline').textContent.includes('login-data-packet {')";
    EXPECT_TRUE(browser.waitFor(hasLogin, "true"));

    ASSERT_TRUE(serve->stop(std::chrono::seconds(5)));
    EXPECT_TRUE(browser.waitFor(text("#connection"), quotedJson("disconnected")));
    serve = std::make_unique<ServeProcess>(
        std::vector<std::string>{scenario.path(), "--plugin", KIVHOST_PLUGIN}, port);
    ASSERT_EQ(serve->port(), port);
    EXPECT_TRUE(browser.waitFor(text("#connection"), quotedJson("connected")));
    EXPECT_TRUE(browser.waitFor(hasLogin, "false"));
    EXPECT_TRUE(browser.waitFor(text("#timeline li:first-child .type"), quotedJson("load")));
}

} // namespace
} // namespace kiv::test
