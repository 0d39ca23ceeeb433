#include "kivhost/platform/dynamic_library.h"

#include <windows.h>

namespace kiv::kivhost {
namespace {

std::string lastErrorText() {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        GetLastError(), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length ? std::string(text, length) : std::string("unknown reason");
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
        result.pop_back();
    }
    return result;
}

} // namespace

DynamicLibrary DynamicLibrary::open(const std::filesystem::path& path, std::string& error) {
    DynamicLibrary library;
    library.handle_ = LoadLibraryW(path.c_str());
    if (!library.handle_) {
        error = lastErrorText();
    }
    return library;
}

void* DynamicLibrary::symbol(const char* name) const noexcept {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

void DynamicLibrary::close() noexcept {
    if (handle_) {
        FreeLibrary(static_cast<HMODULE>(handle_));
    }
    handle_ = nullptr;
}

std::string libraryFileName(const std::string& name) {
    return name + ".dll";
}

} // namespace kiv::kivhost
