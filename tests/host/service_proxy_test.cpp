// Service-proxy messages: kept answers, pending requests and async handlers, delivered through
// the host's three service-proxy events.
#include "loaded_plugin.h"

#include "../binding/value_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv::test {

namespace {

Value proxyMessage(std::string_view uuid, std::string_view service, std::string_view method,
                   std::string_view payload = "") {
    return structureOf({{"uuid", stringValue(uuid)},
                        {"serviceName", stringValue(service)},
                        {"methodName", stringValue(method)},
                        {"payload", stringValue(payload)}});
}

class ServiceProxy : public ::testing::Test {
  protected:
    FakeHost host;
    LoadedPlugin loaded{host};
    const PluginEntry entry = loaded.enter(); // the test calls the plugin's parts directly
    ServiceProxyMailbox& mailbox = loaded.plugin().serviceProxy();
};

TEST_F(ServiceProxy, HandlersAreSubscribedWithKindOneInOrder) {
    std::vector<std::string> names;
    for (const HostSubscription& subscription : host.subscriptions) {
        EXPECT_EQ(subscription.kind, static_cast<std::uint32_t>(KIV_EVENT_KIND_SERVICE_PROXY));
        names.push_back(subscription.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent",
                                               "OnServiceProxyAsyncEvent"}));
}

TEST_F(ServiceProxy, AnswersAreKeptByUuidOrMethodAndReplaced) {
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("u-1", "s", "m", "first"));
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("u-1", "s", "m", "second"));
    host.deliver("OnServiceProxyMethodEvent", proxyMessage("u-2", "a", "b", "by method"));
    EXPECT_EQ(mailbox.receivedCount(), 2u);
    PluginServiceProxyResponse kept;
    ASSERT_TRUE(mailbox.received("u-1", kept));
    EXPECT_EQ(kept.payload, "second");
    ASSERT_TRUE(mailbox.received("a.b", kept));
    EXPECT_EQ(kept.payload, "by method");
    EXPECT_TRUE(kept.error.empty());
}

TEST_F(ServiceProxy, OneRunFulfilsTheFirstMatchInKeyOrder) {
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("b", "s", "m"));
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("a", "s", "m"));
    std::vector<std::string> fulfilled;
    mailbox.addPendingRequest("b", [&](const PluginServiceProxyResponse& r) { fulfilled.push_back(r.uuid); });
    mailbox.addPendingRequest("a", [&](const PluginServiceProxyResponse& r) { fulfilled.push_back(r.uuid); });
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("z", "s", "m"));
    EXPECT_EQ(fulfilled, std::vector<std::string>{"a"});
    EXPECT_EQ(mailbox.pendingCount(), 1u);
    EXPECT_EQ(mailbox.receivedCount(), 2u); // b and z
    const std::vector<std::string> expectedLine{"kiv-probe: Fulfilled service proxy request: a"};
    std::vector<std::string> lines;
    for (const HostLogLine& line : host.logLines) {
        if (line.text.find("Fulfilled") != std::string::npos) {
            lines.push_back(line.text);
            EXPECT_EQ(line.level, 3u);
        }
    }
    EXPECT_EQ(lines, expectedLine);
}

TEST_F(ServiceProxy, ACallbackMayRegisterAFollowUpRequest) {
    int followUps = 0;
    mailbox.addPendingRequest("u-1", [&](const PluginServiceProxyResponse&) {
        mailbox.addPendingRequest("u-2", [&](const PluginServiceProxyResponse&) { ++followUps; });
        mailbox.addAsyncHandler("s.m", [](const PluginServiceProxyResponse&) {});
    });
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("u-1", "s", "m"));
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("u-2", "s", "m"));
    EXPECT_EQ(followUps, 1);
    EXPECT_EQ(mailbox.pendingCount(), 0u);
}

TEST_F(ServiceProxy, AsyncMessagesGoToTheirHandlerOrAreLoggedAsErrors) {
    host.deliver("OnServiceProxyAsyncEvent", proxyMessage("u", "a", "b"));
    ASSERT_FALSE(host.logLines.empty());
    EXPECT_EQ(host.logLines.back().level, 2u);
    EXPECT_EQ(host.logLines.back().text,
              "kiv-probe: Could not find registered handler for async service proxy event a.b");
    EXPECT_EQ(mailbox.receivedCount(), 0u);
    EXPECT_EQ(mailbox.pendingCount(), 0u);

    std::vector<std::string> payloads;
    mailbox.addAsyncHandler("a.b", [&](const PluginServiceProxyResponse& r) {
        payloads.push_back(r.payload);
        // A handler may replace itself while it runs.
        mailbox.addAsyncHandler("a.b",
                                [&](const PluginServiceProxyResponse&) { payloads.push_back("replaced"); });
    });
    host.deliver("OnServiceProxyAsyncEvent", proxyMessage("u", "a", "b", "p1"));
    host.deliver("OnServiceProxyAsyncEvent", proxyMessage("u", "a", "b", "p2"));
    EXPECT_EQ(payloads, (std::vector<std::string>{"p1", "replaced"}));
    EXPECT_EQ(mailbox.receivedCount(), 0u);
}

TEST_F(ServiceProxy, ShutdownEmptiesTheTables) {
    host.deliver("OnServiceProxyUuidEvent", proxyMessage("u-1", "s", "m"));
    mailbox.addPendingRequest("u-9", [](const PluginServiceProxyResponse&) {});
    loaded.plugin().disconnect();
    EXPECT_EQ(mailbox.receivedCount(), 0u);
    EXPECT_EQ(mailbox.pendingCount(), 0u);
}

} // namespace

} // namespace kiv::test
