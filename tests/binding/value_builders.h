// Short constructors of generic values for conversion tests.
#pragma once

#include "value/value.h"

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

namespace kiv::test {

inline Value boolValue(bool v) {
    Value value;
    value.setBool(v);
    return value;
}

inline Value signedValue(std::int64_t v) {
    Value value;
    value.setSigned(v);
    return value;
}

inline Value unsignedValue(std::uint64_t v) {
    Value value;
    value.setUnsigned(v);
    return value;
}

inline Value floatValue(double v) {
    Value value;
    value.setFloat(v);
    return value;
}

inline Value stringValue(std::string_view v) {
    Value value;
    value.setString(v);
    return value;
}

inline Value enumValue(std::int32_t v, const BindingTypeId* type = nullptr) {
    Value value;
    value.setEnum({v, type});
    return value;
}

inline Value collectionOf(std::initializer_list<Value> elements) {
    Value value;
    value.makeCollection();
    for (const Value& element : elements) {
        value.append() = element;
    }
    return value;
}

inline Value structureOf(std::initializer_list<std::pair<std::string_view, Value>> members) {
    Value value;
    value.makeStructure();
    for (const auto& [key, member] : members) {
        value.member(key) = member;
    }
    return value;
}

} // namespace kiv::test
