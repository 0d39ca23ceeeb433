// A shared library opened by path, and the addresses of its exports.
#pragma once

#include <filesystem>
#include <string>

namespace kiv::kivhost {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens the library; on failure the result is not open and `error` holds the system's reason.
    static DynamicLibrary open(const std::filesystem::path& path, std::string& error);

    bool isOpen() const noexcept { return handle_ != nullptr; }
    // The address of an export, null when there is none of that name.
    void* symbol(const char* name) const noexcept;

  private:
    void close() noexcept;

    void* handle_ = nullptr;
};

// The file name of a library of this platform: "name.so" or "name.dll".
std::string libraryFileName(const std::string& name);

} // namespace kiv::kivhost
