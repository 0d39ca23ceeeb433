#include "platform/event_tracing.h"

#include <windows.h>

#include <evntprov.h>

namespace kiv::platform {

namespace {

using EventRegisterFunction = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventWriteFunction = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG, PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFunction = ULONG(WINAPI*)(REGHANDLE);

// Resolved once by openEventTracing; null where Advapi32.dll lacks them, so the library also
// loads on systems without event tracing.
EventRegisterFunction eventRegister = nullptr;
EventWriteFunction eventWrite = nullptr;
EventUnregisterFunction eventUnregister = nullptr;

template <class Function> Function resolve(HMODULE library, const char* name) noexcept {
    // Through void* so that the compiler accepts the cast from GetProcAddress's generic type.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The system calls providers back with its own signature; the registration record travels as the
// callback context and names our handler.
void NTAPI enableCallback(LPCGUID, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                          ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR, PVOID context) {
    const auto* registration = static_cast<const EventProviderRegistration*>(context);
    if (registration && registration->onControl) {
        registration->onControl(registration->context, controlCode, level, matchAnyKeyword, matchAllKeyword);
    }
}

} // namespace

bool openEventTracing() noexcept {
    // Functions already resolved, from the system's library or from one named before, stay.
    return eventRegister != nullptr || openEventTracingFrom(L"Advapi32.dll");
}

bool openEventTracingFrom(const wchar_t* name) noexcept {
    // A library already in the process is taken as it is, without another reference; the library
    // stays loaded for the process's lifetime.
    HMODULE library = name ? GetModuleHandleW(name) : nullptr;
    if (!library && name) {
        library = LoadLibraryW(name);
    }
    eventRegister = library ? resolve<EventRegisterFunction>(library, "EventRegister") : nullptr;
    eventWrite = library ? resolve<EventWriteFunction>(library, "EventWrite") : nullptr;
    eventUnregister = library ? resolve<EventUnregisterFunction>(library, "EventUnregister") : nullptr;
    return eventRegister != nullptr;
}

std::uint64_t registerEventProvider(const EventProviderRegistration& registration) noexcept {
    if (!eventRegister) {
        return 0;
    }
    GUID id{};
    id.Data1 = registration.id.data1;
    id.Data2 = registration.id.data2;
    id.Data3 = registration.id.data3;
    for (int i = 0; i < 8; ++i) {
        id.Data4[i] = registration.id.data4[i];
    }
    REGHANDLE handle = 0;
    if (eventRegister(&id, enableCallback, const_cast<EventProviderRegistration*>(&registration), &handle) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return handle;
}

bool writeEvent(std::uint64_t handle, const EventDescriptor& descriptor, const EventField* fields,
                std::uint32_t fieldCount) noexcept {
    constexpr std::uint32_t kMaxFields = 8;
    if (!eventWrite || handle == 0 || fieldCount > kMaxFields || (fieldCount > 0 && !fields)) {
        return false;
    }
    EVENT_DESCRIPTOR native{};
    native.Id = descriptor.id;
    native.Version = descriptor.version;
    native.Channel = descriptor.channel;
    native.Level = descriptor.level;
    native.Opcode = descriptor.opcode;
    native.Task = descriptor.task;
    native.Keyword = descriptor.keyword;
    EVENT_DATA_DESCRIPTOR data[kMaxFields] = {};
    for (std::uint32_t i = 0; i < fieldCount; ++i) {
        data[i].Ptr = static_cast<ULONGLONG>(reinterpret_cast<ULONG_PTR>(fields[i].data));
        data[i].Size = fields[i].size;
    }
    return eventWrite(handle, &native, fieldCount, data) == ERROR_SUCCESS;
}

void unregisterEventProvider(std::uint64_t handle) noexcept {
    if (eventUnregister && handle != 0) {
        eventUnregister(handle);
    }
}

} // namespace kiv::platform
