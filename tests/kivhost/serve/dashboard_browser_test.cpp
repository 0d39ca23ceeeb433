// The dashboard in headless Chromium: the page loads from `kivhost serve`, its buttons move the
// clock, and it shows the queues locking, WARNING and CUT_OFF as the default scenario plays. The
// page after the cut-off is kept as a PNG in the build folder.
#include "devtools_pipe.h"
#include "serve_process.h"

#include <fstream>

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

TEST(DashboardBrowserTest, ButtonsMoveTheClockThroughTheQueueLocksWarningAndCutOff) {
    // The default scenario's timetable and queues; the login packet comes from the page's form.
    ScenarioFile scenario("dashboard.yaml", R"(
resources:
  /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"450": 120, "420": 100, "830": 60, "-2": 30}
  /kiv-game-queues/v1/queues: [{id: 450}, {id: 420}, {id: 830}, {id: 1090}]
)");
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    ASSERT_NE(serve.port(), 0);
    DevToolsPipe browser;
    ASSERT_TRUE(browser.started()) << "chromium did not start";
    ASSERT_TRUE(browser.open(serve.address()));

    ASSERT_TRUE(browser.waitFor("document.body && document.body.dataset.ready || ''", quotedJson("true")));
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

} // namespace
} // namespace kiv::test
