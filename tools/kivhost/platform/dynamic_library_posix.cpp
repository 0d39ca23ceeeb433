#include "kivhost/platform/dynamic_library.h"

#include <dlfcn.h>

namespace kiv::kivhost {

DynamicLibrary DynamicLibrary::open(const std::filesystem::path& path, std::string& error) {
    DynamicLibrary library;
    library.handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library.handle_) {
        const char* reason = dlerror();
        error = reason ? reason : "unknown reason";
        // The loader names the ELF class only; say which one this process takes.
        if (error.find("wrong ELF class") != std::string::npos) {
            error += " (this kivhost loads " + std::to_string(sizeof(void*) * 8) + "-bit libraries)";
        }
    }
    return library;
}

void* DynamicLibrary::symbol(const char* name) const noexcept {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::close() noexcept {
    if (handle_) {
        dlclose(handle_);
    }
    handle_ = nullptr;
}

std::string libraryFileName(const std::string& name) {
    return name + ".so";
}

} // namespace kiv::kivhost
