// Who a plugin is towards the platform: its type and the names derived from its short name.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

struct PluginType {
    std::string name;
    std::string qualifier;
};

// The two predefined types, "backend" and "frontend", both without a qualifier. Every plugin of
// this library is a backend plugin.
const PluginType& backendPluginType() noexcept;
const PluginType& frontendPluginType() noexcept;

struct PluginIdentity {
    std::string fullName;
    std::string shortName;
    std::string typeName;
    std::string typeQualifier;
};

// The full name is "ucx-be-", "ucx-fe-" or, for any other type name (compared exactly, letter
// case included), "ucx-xx-" followed by the short name; the unknown type is logged as an error.
PluginIdentity GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type);

} // namespace kiv
