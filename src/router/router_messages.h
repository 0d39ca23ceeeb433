// The texts with which the router answers requests it cannot serve. %1, %2, %3 are
// positional arguments of formatMessage.
#pragma once

#include <string_view>

namespace kiv::router_messages {

inline constexpr std::string_view kInvalidFunction = "Invalid function";
inline constexpr std::string_view kPluginUnloaded = "The plugin is unloaded.";
inline constexpr std::string_view kUnknownArgument = "Unknown argument '%1' for '%2'.";
inline constexpr std::string_view kInvalidLocation =
    "Argument '%1' for '%2' was specified in an invalid location.";
inline constexpr std::string_view kExpectedValue = "Expected value for argument '%1'.";
inline constexpr std::string_view kIndexIncorrectFormat = "Index %1 is in an incorrect format";
inline constexpr std::string_view kIndexOutOfRange = "Index %1 is out of range";
// %2 the largest step by which one index may grow a collection, %3 the dotted name so far.
inline constexpr std::string_view kIndexTooFarPastEnd = "Index %1 is more than %2 past the end of '%3'";
inline constexpr std::string_view kUnsupportedBodyContentType = "Unsupported body content type";
inline constexpr std::string_view kExtraMsgpackData = "Extra MessgePack data found in body";
inline constexpr std::string_view kMsgpackArgument =
    "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
inline constexpr std::string_view kJsonArgument =
    "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
inline constexpr std::string_view kYamlArgument =
    "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";

} // namespace kiv::router_messages
