#include "logging/etw_providers.h"

#include "logging/process_clock.h"
#include "platform/event_tracing.h"
#include "platform/thread_id.h"

#include <array>
#include <cstring>

namespace kiv {

namespace {

constexpr EtwEventGroup kFirstKeyword[] = {{0x1, 0}};
constexpr EtwEventGroup kNoKeyword[] = {{0x0, 0}};
constexpr EtwEventGroup kTwoKeywords[] = {{0x1, 0}, {0x2, 0}};

struct EtwProvider {
    platform::EventProviderRegistration registration;
    EtwTraceContext context;
    std::uint64_t handle;
};

void onControl(void* context, std::uint32_t code, std::uint8_t level, std::uint64_t matchAnyKeyword,
               std::uint64_t matchAllKeyword) {
    static_cast<EtwTraceContext*>(context)->control(code, level, matchAnyKeyword, matchAllKeyword);
}

// Registration and unregistration happen while the library loads and unloads, on one thread; only
// the contexts are touched by the tracing service's threads.
std::array<EtwProvider, kEtwProviderCount> providers = {{
    {{{0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}}, onControl, nullptr},
     EtwTraceContext(kFirstKeyword),
     0},
    {{{0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}}, onControl, nullptr},
     EtwTraceContext(kFirstKeyword),
     0},
    {{{0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}}, onControl, nullptr},
     EtwTraceContext(kNoKeyword),
     0},
    {{{0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}}, onControl, nullptr},
     EtwTraceContext(kTwoKeywords),
     0},
}};

EtwProvider& threadNameProvider() noexcept {
    return providers[1];
}

constexpr platform::EventDescriptor kThreadNameEvent = {
    .id = 103, .version = 0, .channel = 0, .level = 0, .opcode = 14, .task = 2, .keyword = 0x1};

} // namespace

void registerEtwProviders() noexcept {
    secondsSinceFirstClockReading(); // the process's first reading of the high-resolution clock
    if (!platform::openEventTracing()) {
        return;
    }
    for (EtwProvider& provider : providers) {
        if (provider.handle != 0) {
            continue;
        }
        provider.registration.context = &provider.context;
        provider.handle = platform::registerEventProvider(provider.registration);
    }
    if (threadNameProvider().context.isGroupEnabled(0)) {
        writeThreadNameEvent(platform::currentThreadId(), "Main thread");
    }
}

void unregisterEtwProviders() noexcept {
    for (EtwProvider& provider : providers) {
        if (provider.handle == 0) {
            continue;
        }
        platform::unregisterEventProvider(provider.handle);
        provider.handle = 0;
    }
}

bool writeThreadNameEvent(std::uint32_t threadId, const char* name) noexcept {
    const char* text = name ? name : "NULL";
    const platform::EventField fields[] = {
        {&threadId, sizeof threadId},
        {text, static_cast<std::uint32_t>(std::strlen(text) + 1)},
    };
    return platform::writeEvent(threadNameProvider().handle, kThreadNameEvent, fields, 2);
}

bool isEtwProviderRegistered(std::size_t provider) noexcept {
    return provider < kEtwProviderCount && providers[provider].handle != 0;
}

const EtwTraceContext& etwTraceContext(std::size_t provider) noexcept {
    return providers[provider < kEtwProviderCount ? provider : 0].context;
}

} // namespace kiv
