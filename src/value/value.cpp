#include "value/value.h"

#include "platform/invariant.h"
#include "platform/saturating.h"
#include "value/number_reading.h"

#include <new>
#include <utility>

namespace kiv {
namespace {

bool needsStorage(ValueKind kind) noexcept {
    return kind >= ValueKind::String;
}

} // namespace

const Value& Value::emptyValue() noexcept {
    static const Value empty;
    return empty;
}

Value::~Value() {
    if (ownsContext_ && context_) {
        ValueTreeOps::teardown(*this);
        delete context_;
    } else {
        ValueTreeOps::release(*this);
    }
}

Value::Value(const Value& other) : ValueNode() {
    copyFrom(other, nullptr);
}

Value& Value::operator=(const Value& other) {
    if (this != &other) {
        copyFrom(other, nullptr);
    }
    return *this;
}

Value::Value(Value&& other) noexcept {
    if (other.ownsContext_) {
        exchangeRoots(other);
        return;
    }
    // A child's storage belongs to its tree: copy it out, then clear the source. Running out
    // of memory here ends the process, as for any failed noexcept move.
    copyFrom(other, &other);
}

Value& Value::operator=(Value&& other) {
    if (this == &other) {
        return *this;
    }
    if (ownsContext_ && other.ownsContext_) {
        exchangeRoots(other);
        other.setEmpty();
    } else {
        copyFrom(other, &other);
    }
    return *this;
}

void Value::exchangeRoots(Value& other) noexcept {
    std::swap(payload_, other.payload_);
    std::swap(context_, other.context_);
    std::swap(kind_, other.kind_);
}

// The copy is built in a detached node of this tree before anything is released, because the
// source may live in this node's subtree (`v = v["a"]`) and go with it. A moved source is
// cleared once the copy stands and before this node's old content goes, which keeps
// `v = std::move(v.member("a"))` sound. When this node lies inside the moved source
// (`v.member("a") = std::move(v)`), clearing the source whole would destroy it: the source keeps
// the path down to this node, which wraps the tree under a node of itself.
void Value::copyFrom(const Value& other, Value* movedSource) {
    if (!needsStorage(other.kind_)) {
        const Payload payload = other.payload_;
        const ValueKind kind = other.kind_;
        if (movedSource) {
            movedSource->setEmpty();
        }
        ValueTreeOps::release(*this);
        payload_ = payload;
        kind_ = kind;
        return;
    }
    std::vector<ValueNode*> pathInSource;
    if (movedSource) {
        pathInSource = ValueTreeOps::pathTo(*movedSource, *this);
    }
    Value copy(ChildOf{&ValueTreeOps::ensureContext(*this)});
    try {
        ValueTreeOps::copyTree(other, copy);
    } catch (...) {
        ValueTreeOps::release(copy);
        throw;
    }
    if (!pathInSource.empty()) {
        ValueTreeOps::clearBesidePath(pathInSource);
    } else if (movedSource) {
        movedSource->setEmpty();
    }
    ValueTreeOps::adoptPayload(*this, copy);
}

std::size_t Value::size() const noexcept {
    switch (kind_) {
    case ValueKind::Empty:
        return 0;
    case ValueKind::String:
        return payload_.string->length;
    case ValueKind::Blob:
        return ValueTreeOps::blob(*this).size();
    case ValueKind::Collection:
        return ValueTreeOps::collection(*this).size;
    case ValueKind::Structure:
        return ValueTreeOps::structure(*this).size();
    default:
        return 1;
    }
}

bool Value::getBool(bool fallback) const noexcept {
    return kind_ == ValueKind::Bool ? payload_.boolean : fallback;
}

std::int64_t Value::getSigned(std::int64_t fallback) const noexcept {
    return kind_ == ValueKind::Signed ? payload_.signedValue : fallback;
}

std::uint64_t Value::getUnsigned(std::uint64_t fallback) const noexcept {
    return kind_ == ValueKind::Unsigned ? payload_.unsignedValue : fallback;
}

double Value::getFloat(double fallback) const noexcept {
    return kind_ == ValueKind::Float ? payload_.floatValue : fallback;
}

std::string_view Value::getString(std::string_view fallback) const noexcept {
    return kind_ == ValueKind::String ? payload_.string->view() : fallback;
}

std::span<const std::uint8_t> Value::getBlob(std::span<const std::uint8_t> fallback) const noexcept {
    if (kind_ != ValueKind::Blob) {
        return fallback;
    }
    const auto& bytes = ValueTreeOps::blob(*this);
    return {bytes.data(), bytes.size()};
}

EnumValue Value::getEnum(EnumValue fallback) const noexcept {
    return kind_ == ValueKind::Enum ? ValueTreeOps::enumRecord(*this) : fallback;
}

const char* Value::c_str() const noexcept {
    return kind_ == ValueKind::String ? payload_.string->text() : "";
}

const Value& Value::operator[](std::size_t index) const noexcept {
    if (kind_ != ValueKind::Collection) {
        return emptyValue();
    }
    const CollectionStorage& storage = ValueTreeOps::collection(*this);
    return index < storage.size ? of(storage.data[index]) : emptyValue();
}

const Value& Value::operator[](std::string_view key) const noexcept {
    const Value* found = find(key);
    return found ? *found : emptyValue();
}

const Value* Value::find(std::string_view key) const noexcept {
    if (kind_ != ValueKind::Structure) {
        return nullptr;
    }
    const ValueNode* found = ValueTreeOps::structure(*this).find(key);
    return found ? &of(*found) : nullptr;
}

Value* Value::find(std::string_view key) noexcept {
    return const_cast<Value*>(std::as_const(*this).find(key));
}

// The slow path of element() and append(): turns the value into a Collection if needed and
// grows it until `index` exists.
Value& Value::growToElement(std::size_t index) {
    makeCollection();
    CollectionStorage& storage = ValueTreeOps::collection(*this);
    if (index < storage.size) {
        return of(storage.data[index]);
    }
    if (index >= kMaxCollectionSize) {
        throwCollectionTooLarge();
    }
    if (index >= storage.capacity) {
        std::size_t capacity = storage.capacity < 4 ? 4 : std::size_t(storage.capacity) * 2;
        if (capacity <= index) {
            capacity = index + 1;
        }
        if (capacity > kMaxCollectionSize) {
            capacity = kMaxCollectionSize;
        }
        ValueTreeOps::growCollection(*this, capacity);
    }
    while (storage.size <= index) {
        ValueTreeOps::appendReserved(*this);
    }
    return of(storage.data[index]);
}

Value& Value::member(std::string_view key) {
    makeStructure();
    return of(ValueTreeOps::structure(*this).findOrInsert(*context_, key));
}

std::span<const Value> Value::elements() const noexcept {
    if (kind_ != ValueKind::Collection) {
        return {};
    }
    const CollectionStorage& storage = ValueTreeOps::collection(*this);
    return {static_cast<const Value*>(storage.data), storage.size};
}

std::span<Value> Value::elements() noexcept {
    if (kind_ != ValueKind::Collection) {
        return {};
    }
    CollectionStorage& storage = ValueTreeOps::collection(*this);
    return {static_cast<Value*>(storage.data), storage.size};
}

Value::MemberRange Value::members() const noexcept {
    return kind_ == ValueKind::Structure ? MemberRange(&ValueTreeOps::structure(*this)) : MemberRange();
}

bool Value::asTruth() const noexcept {
    switch (kind_) {
    case ValueKind::Bool:
        return payload_.boolean;
    case ValueKind::Signed:
    case ValueKind::Unsigned:
        return payload_.unsignedValue != 0;
    case ValueKind::Float:
        return payload_.floatValue != 0.0; // NaN compares unequal, so it counts as true
    case ValueKind::String: {
        std::string_view text = payload_.string->view();
        return text == "true" || text == "1";
    }
    case ValueKind::Blob:
    case ValueKind::Collection:
    case ValueKind::Structure:
        return size() != 0;
    case ValueKind::Enum:
        return ValueTreeOps::enumRecord(*this).value != 0;
    case ValueKind::Empty:
        break;
    }
    return false;
}

std::int64_t Value::asInteger(std::int64_t fallback) const noexcept {
    switch (kind_) {
    case ValueKind::Bool:
        return payload_.boolean ? 1 : 0;
    case ValueKind::Signed:
    case ValueKind::Unsigned:
        return payload_.signedValue;
    case ValueKind::Float:
        return platform::saturatingTruncate<std::int64_t>(payload_.floatValue);
    case ValueKind::String:
        return readSignedPrefix(payload_.string->view()).value;
    case ValueKind::Enum:
        return ValueTreeOps::enumRecord(*this).value;
    default:
        return fallback;
    }
}

} // namespace kiv
