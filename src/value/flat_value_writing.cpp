// Value trees to flat records: the one flat record writer fed from a tree.
#include "value/flat_node.h"
#include "value/flat_record_writer.h"
#include "value/flat_value.h"

#include <new>
#include <optional>

namespace kiv {
namespace {

class TreeSource {
  public:
    using Node = const Value*;

    FlatNode read(const Value* value) const noexcept { return flatNodeOf(*value); }

    // A tree is always walked to be sized.
    std::optional<ShallowStructure> shallowStructure(const Value*) const noexcept { return std::nullopt; }

    template <class Visit> void forEachChild(const Value* value, Visit&& visit) const {
        forEachFlatChild(*value, [&](const void* nameIdentity, std::string_view name, const Value& child) {
            visit(nameIdentity, name, &child);
        });
    }
};

} // namespace

FlatNode flatNodeOf(const Value& value) noexcept {
    switch (value.kind()) {
    case ValueKind::Empty:
        return {};
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
        return FlatNode::scalar(value.kind(), ValueTreeOps::scalarBits(value));
    case ValueKind::String:
        return FlatNode::ofText(ValueTreeOps::string(value).view());
    case ValueKind::Blob:
        return FlatNode::ofBytes(ValueTreeOps::blob(value));
    case ValueKind::Enum:
        return FlatNode::ofEnum(ValueTreeOps::enumRecord(value));
    case ValueKind::Collection:
        return FlatNode::container(ValueKind::Collection, ValueTreeOps::collection(value).size);
    case ValueKind::Structure:
        return FlatNode::container(ValueKind::Structure, ValueTreeOps::structure(value).size());
    }
    return {};
}

bool valueToFlat(const Value& value, FlatValue& flat, const EnumNameLookup* enums) {
    TreeSource source;
    try {
        FlatRecordWriter<TreeSource>(source, enums).write(&value, flat);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace kiv
