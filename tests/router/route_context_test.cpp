// The context a host hands back with a request, in every state it can be in when the request
// comes: live, behind a closed gate, of a router that is gone, or never issued. Whatever the
// state, the request is answered through the response record and nothing of a router that is
// gone is read.
#include "router/route_contexts.h"
#include "router_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>

namespace kiv::test {
namespace {

constexpr const char* kPath = "/kiv-probe/v1/calls";
constexpr const char* kFunction = "GetKivProbeV1Calls";

// A router that counts the calls its one function serves; the test may destroy it, or close
// the gate it shares with its owner, as a plugin's unload does.
struct ProbeRouter {
    BindingRegistry registry;
    std::shared_ptr<platform::EntryGate> gate = std::make_shared<platform::EntryGate>();
    std::unique_ptr<Router> router = std::make_unique<Router>(registry, gate);
    int calls = 0;

    ProbeRouter() {
        router->addGet(kPath, [this] { return ++calls; });
    }
    void* context() {
        const ApiExport& published = router->exportApi();
        for (const ExportedFunction* f = published.functions; f != nullptr; f = f->next) {
            if (std::string(f->name) == kFunction) {
                return f->context;
            }
        }
        ADD_FAILURE() << "no record for " << kFunction;
        return nullptr;
    }
    void closeGate() {
        std::lock_guard entry(gate->entryLock());
        gate->close();
    }
};

struct ContextCase {
    const char* name;
    // Brings the router into the case's state and returns the context the host sends.
    void* (*prepare)(ProbeRouter&);
    RouteContextState state;
    bool served;
    const char* error;
    std::uint32_t status;
};

void* liveContext(ProbeRouter& probe) {
    return probe.context();
}

void* contextBehindClosedGate(ProbeRouter& probe) {
    void* context = probe.context();
    probe.closeGate();
    return context;
}

void* contextOfDestroyedRouter(ProbeRouter& probe) {
    void* context = probe.context();
    probe.router.reset();
    return context;
}

void* contextOfRebuiltRecords(ProbeRouter& probe) {
    void* context = probe.context();
    EXPECT_EQ(probe.context(), context) << "a function keeps its context when the records are rebuilt";
    return context;
}

// An address the table never issued: the host's own memory, say.
void* foreignContext(ProbeRouter& probe) {
    return &probe;
}

class RouteContextTest : public ::testing::TestWithParam<ContextCase> {};

TEST_P(RouteContextTest, AnswersFromTheContextsState) {
    const ContextCase& c = GetParam();
    ProbeRouter probe;
    void* context = c.prepare(probe);
    EXPECT_EQ(resolveRouteContext(context).state, c.state);

    TestRequest request;
    request.path = kPath;
    HostRequest host = request.record(context);
    TestResponse response;
    DispatchRequest(response.get(), &host);
    EXPECT_EQ(probe.calls, c.served ? 1 : 0);
    if (c.served) {
        EXPECT_FALSE(response.failed()) << response.error();
        return;
    }
    EXPECT_TRUE(response.failed());
    EXPECT_EQ(response.error(), c.error);
    EXPECT_EQ(response.status(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    States, RouteContextTest,
    ::testing::Values(ContextCase{"Live", liveContext, RouteContextState::Live, true, "", 0},
                      ContextCase{"Rebuilt", contextOfRebuiltRecords, RouteContextState::Live, true, "", 0},
                      ContextCase{"ClosedGate", contextBehindClosedGate, RouteContextState::Live, false,
                                  "The plugin is unloaded.", 503},
                      ContextCase{"DestroyedRouter", contextOfDestroyedRouter, RouteContextState::Withdrawn,
                                  false, "The plugin is unloaded.", 503},
                      ContextCase{"Foreign", foreignContext, RouteContextState::Unknown, false,
                                  "Invalid function", 404}),
    [](const ::testing::TestParamInfo<ContextCase>& info) { return std::string(info.param.name); });

TEST(RouteContextLifetime, ARoutersContextsAndTheirHoldOnTheGateEndWithIt) {
    const std::size_t before = liveRouteContextCount();
    std::weak_ptr<platform::EntryGate> gate;
    {
        ProbeRouter probe;
        gate = probe.gate;
        probe.context();
        probe.router->addPost(kPath, [] {});
        probe.router->exportApi();
        EXPECT_EQ(liveRouteContextCount(), before + 2);
    }
    EXPECT_EQ(liveRouteContextCount(), before);
    EXPECT_TRUE(gate.expired()) << "the table keeps no share of the gate of a router that is gone";
}

} // namespace
} // namespace kiv::test
