#include "host/plugin_identity.h"

#include "format/message_format.h"
#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_record.h"

namespace kiv {

const PluginType& backendPluginType() noexcept {
    static const PluginType type{"backend", {}};
    return type;
}

const PluginType& frontendPluginType() noexcept {
    static const PluginType type{"frontend", {}};
    return type;
}

namespace {

std::string_view fullNamePrefix(std::string_view shortName, const PluginType& type) {
    if (type.name == backendPluginType().name) {
        return "ucx-be-";
    }
    if (type.name == frontendPluginType().name) {
        return "ucx-fe-";
    }
    const std::string complaint =
        formatMessage("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
                      {shortName, type.name});
    LogMessage(LogLevel::Error, kLogGroupDbg, "            Plugin Manager| %s", complaint.c_str());
    return "ucx-xx-";
}

} // namespace

PluginIdentity GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type) {
    std::string fullName(fullNamePrefix(shortName, type));
    fullName += shortName;
    return {std::move(fullName), std::string(shortName), type.name, type.qualifier};
}

} // namespace kiv
