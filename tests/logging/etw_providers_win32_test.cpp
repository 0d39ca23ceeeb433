// The providers on Windows, through a stand-in for the system's tracing functions that enables
// each provider as it registers (fake_event_tracing.cpp): registration in table order, the
// enable callback's bits per provider, the thread-name event and its payload, further control
// codes, and unregistration.
#include "logging/etw_providers.h"
#include "platform/event_tracing.h"
#include "platform/thread_id.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace kiv {
namespace {

class FakeTracing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(platform::openEventTracingFrom(L"" KIV_FAKE_EVENT_TRACING));
        library_ = GetModuleHandleW(L"" KIV_FAKE_EVENT_TRACING);
        ASSERT_NE(library_, nullptr);
        function<void (*)()>("fakeReset")();
    }
    // The session stops before the providers go, so the process-wide contexts end disabled.
    void TearDown() override {
        for (std::uint64_t handle = 1; handle <= kEtwProviderCount; ++handle) {
            control(handle, 0, 0, 0, 0);
        }
        unregisterEtwProviders();
        platform::openEventTracingFrom(L"Advapi32.dll");
    }

    template <class Function> Function function(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library_, name)));
    }
    std::size_t registeredCount() const { return function<std::size_t (*)()>("fakeRegisteredCount")(); }
    std::size_t writtenCount() const { return function<std::size_t (*)()>("fakeWrittenCount")(); }
    std::string writtenEvent(std::size_t index, std::uint64_t& handle,
                             platform::EventDescriptor& descriptor) const {
        char payload[64] = {};
        const std::size_t size = function<std::size_t (*)(std::size_t, std::uint64_t*,
                                                          platform::EventDescriptor*, char*, std::size_t)>(
            "fakeWrittenEvent")(index, &handle, &descriptor, payload, sizeof payload);
        return std::string(payload, size < sizeof payload ? size : sizeof payload);
    }
    void control(std::uint64_t handle, unsigned long code, unsigned char level, unsigned long long matchAny,
                 unsigned long long matchAll) const {
        function<void (*)(std::uint64_t, unsigned long, unsigned char, unsigned long long,
                          unsigned long long)>("fakeControl")(handle, code, level, matchAny, matchAll);
    }

    HMODULE library_ = nullptr;
};

TEST_F(FakeTracing, ASessionListeningAtLoadEnablesTheGroupsAndGetsTheMainThreadsName) {
    registerEtwProviders();
    ASSERT_EQ(registeredCount(), kEtwProviderCount);
    for (std::size_t i = 0; i < kEtwProviderCount; ++i) {
        EXPECT_TRUE(isEtwProviderRegistered(i));
        EXPECT_TRUE(etwTraceContext(i).isEnabled()) << "provider " << i;
        EXPECT_EQ(etwTraceContext(i).level(), 5);
        EXPECT_EQ(etwTraceContext(i).matchAnyKeyword(), 0x1u);
    }
    // Keyword 0x1 enables the groups of keyword 0x1 and the one without a keyword, not 0x2.
    EXPECT_TRUE(etwTraceContext(0).isGroupEnabled(0));
    EXPECT_TRUE(etwTraceContext(1).isGroupEnabled(0));
    EXPECT_TRUE(etwTraceContext(2).isGroupEnabled(0));
    EXPECT_TRUE(etwTraceContext(3).isGroupEnabled(0));
    EXPECT_FALSE(etwTraceContext(3).isGroupEnabled(1));

    // The second provider's handle is the second one given out.
    ASSERT_EQ(writtenCount(), 1u);
    std::uint64_t handle = 0;
    platform::EventDescriptor descriptor{};
    const std::string payload = writtenEvent(0, handle, descriptor);
    EXPECT_EQ(handle, 2u);
    EXPECT_EQ(descriptor.id, 103);
    EXPECT_EQ(descriptor.version, 0);
    EXPECT_EQ(descriptor.channel, 0);
    EXPECT_EQ(descriptor.level, 0);
    EXPECT_EQ(descriptor.opcode, 14);
    EXPECT_EQ(descriptor.task, 2);
    EXPECT_EQ(descriptor.keyword, 0x1u);
    const std::uint32_t thread = platform::currentThreadId();
    EXPECT_EQ(payload,
              std::string(reinterpret_cast<const char*>(&thread), 4) + std::string("Main thread", 12));

    // Registering again changes nothing; unregistering gives every handle back.
    registerEtwProviders();
    EXPECT_EQ(registeredCount(), kEtwProviderCount);
    unregisterEtwProviders();
    EXPECT_EQ(registeredCount(), 0u);
    for (std::size_t i = 0; i < kEtwProviderCount; ++i) {
        EXPECT_FALSE(isEtwProviderRegistered(i));
    }
}

TEST_F(FakeTracing, ControlCodesReachTheProvidersContext) {
    registerEtwProviders();
    const std::uint64_t fourth = 4;
    control(fourth, 1, 0, 0x2, 0x2);
    EXPECT_FALSE(etwTraceContext(3).isGroupEnabled(0));
    EXPECT_TRUE(etwTraceContext(3).isGroupEnabled(1));
    EXPECT_EQ(etwTraceContext(3).matchAllKeyword(), 0x2u);
    control(fourth, 2, 7, 0, 0); // another code: nothing changes
    EXPECT_TRUE(etwTraceContext(3).isGroupEnabled(1));
    control(fourth, 0, 0, 0, 0);
    EXPECT_FALSE(etwTraceContext(3).isEnabled());
    EXPECT_FALSE(etwTraceContext(3).isGroupEnabled(1));
    EXPECT_TRUE(etwTraceContext(2).isEnabled()) << "each provider keeps its own context";
    // A null name is written as "NULL".
    EXPECT_TRUE(writeThreadNameEvent(77, nullptr));
    std::uint64_t handle = 0;
    platform::EventDescriptor descriptor{};
    const std::uint32_t thread = 77;
    EXPECT_EQ(writtenEvent(writtenCount() - 1, handle, descriptor),
              std::string(reinterpret_cast<const char*>(&thread), 4) + std::string("NULL", 5));
}

} // namespace
} // namespace kiv
