// A stand-in for the system's event-tracing functions, loaded by name in place of Advapi32.dll:
// each provider is enabled at registration by a session asking for keyword 0x1 at level 5,
// events written are kept, and the test reads them and sends further control codes through the
// fake* exports.
#include "platform/event_tracing.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

using EnableCallback = void(__stdcall*)(const Guid*, unsigned long, unsigned char, unsigned long long,
                                        unsigned long long, void*, void*);

// Laid out as the system's EVENT_DATA_DESCRIPTOR; the event descriptor is the platform layer's own.
struct Field {
    std::uint64_t pointer;
    std::uint32_t size;
    std::uint32_t reserved;
};

struct Provider {
    EnableCallback callback;
    void* context;
    bool registered;
};

struct Written {
    std::uint64_t handle;
    kiv::platform::EventDescriptor descriptor;
    std::vector<std::string> fields;
};

std::vector<Provider> providers; // handle n is providers[n - 1]
std::vector<Written> written;

} // namespace

extern "C" {

__declspec(dllexport) unsigned long __stdcall EventRegister(const Guid*, EnableCallback callback,
                                                            void* context, std::uint64_t* handle) {
    providers.push_back({callback, context, true});
    *handle = providers.size();
    if (callback) {
        callback(nullptr, 1, 5, 0x1, 0, nullptr, context);
    }
    return 0;
}

__declspec(dllexport) unsigned long __stdcall EventWrite(std::uint64_t handle,
                                                         const kiv::platform::EventDescriptor* descriptor,
                                                         unsigned long count, const Field* fields) {
    Written event{handle, *descriptor, {}};
    for (unsigned long i = 0; i < count; ++i) {
        event.fields.emplace_back(
            reinterpret_cast<const char*>(static_cast<std::uintptr_t>(fields[i].pointer)), fields[i].size);
    }
    written.push_back(std::move(event));
    return 0;
}

__declspec(dllexport) unsigned long __stdcall EventUnregister(std::uint64_t handle) {
    if (handle == 0 || handle > providers.size() || !providers[handle - 1].registered) {
        return 87; // ERROR_INVALID_PARAMETER
    }
    providers[handle - 1].registered = false;
    return 0;
}

// Forgets every provider and event: handles count from 1 again.
__declspec(dllexport) void fakeReset() {
    providers.clear();
    written.clear();
}

__declspec(dllexport) std::size_t fakeRegisteredCount() {
    std::size_t count = 0;
    for (const Provider& provider : providers) {
        count += provider.registered ? 1 : 0;
    }
    return count;
}

__declspec(dllexport) std::size_t fakeWrittenCount() {
    return written.size();
}

// The event at `index`: its handle and descriptor, and its fields laid end to end in `payload`.
__declspec(dllexport) std::size_t
    fakeWrittenEvent(std::size_t index, std::uint64_t* handle, kiv::platform::EventDescriptor* descriptor,
                     char* payload, std::size_t room) {
    const Written& event = written.at(index);
    *handle = event.handle;
    *descriptor = event.descriptor;
    std::string all;
    for (const std::string& field : event.fields) {
        all += field;
    }
    std::memcpy(payload, all.data(), all.size() < room ? all.size() : room);
    return all.size();
}

// Sends a control code to the provider of `handle`, as a session starting or stopping would.
__declspec(dllexport) void fakeControl(std::uint64_t handle, unsigned long code, unsigned char level,
                                       unsigned long long matchAny, unsigned long long matchAll) {
    const Provider& provider = providers.at(handle - 1);
    provider.callback(nullptr, code, level, matchAny, matchAll, nullptr, provider.context);
}

} // extern "C"
