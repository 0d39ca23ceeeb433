// The texts of the errors that native value conversion reports. Placeholders are positional
// (%1, %2, %3) and filled by formatMessage. Numbers that do not fit, and texts that are not
// numbers, share their messages with the YAML reader (value/number_reading.h).
#pragma once

#include <string_view>

namespace kiv::conversion_messages {

inline constexpr std::string_view kRequired = "A value for '%1' is required.";
inline constexpr std::string_view kInvalidInputKind =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
inline constexpr std::string_view kBoolIncorrectFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", "
    "\"0\".";
inline constexpr std::string_view kBoolInvalidInputKind =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
inline constexpr std::string_view kNotAString =
    "Couldn't assign value to '%1' because the input is not a string.";
inline constexpr std::string_view kNoEnumeratorName = "%1 is not a valid enumeration value for '%2'.";
inline constexpr std::string_view kInvalidEnumerator = "%1 is not a valid %2 enumeration value for '%3'.";
inline constexpr std::string_view kEnumInvalidInputKind =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
inline constexpr std::string_view kNotACollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr std::string_view kUnregisteredStructure =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
inline constexpr std::string_view kNotAStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
inline constexpr std::string_view kMissingRequiredField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
inline constexpr std::string_view kUnregisteredNativeStructure =
    "Couldn't convert native value because it's an unregistered structure.";
// Maps take a Structure, keyed by member name.
inline constexpr std::string_view kMapNotAStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";

} // namespace kiv::conversion_messages
