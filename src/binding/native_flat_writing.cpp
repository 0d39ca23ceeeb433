#include "binding/native_flat_writing.h"

#include "binding/binding_registry.h"
#include "binding/conversion_messages.h"
#include "binding/native_converters.h"
#include "value/conversion_result.h"
#include "value/flat_record_writer.h"

#include <optional>

namespace kiv {
namespace {

class NativeSource {
  public:
    using Node = NativeFlatNode;

    FlatNode read(const Node& node) const { return node.converter->flatNode(node.object, node.descriptor); }

    // A registered structure of scalar members, as many answers are, is sized from its type.
    std::optional<ShallowStructure> shallowStructure(const Node& node) const noexcept {
        const BindingTypeDescriptor* type = node.descriptor;
        if (node.converter != &structConverter() || type == nullptr || !type->scalarMembersOnly) {
            return std::nullopt;
        }
        return ShallowStructure{type->fields.size(), type->memberNameBytes};
    }

    template <class Visit> void forEachChild(const Node& node, Visit&& visit) const {
        class Forward final : public NativeChildVisitor {
          public:
            explicit Forward(Visit& visit) noexcept : visit_(visit) {}
            void child(const void* nameIdentity, std::string_view name,
                       const NativeFlatNode& child) override {
                visit_(nameIdentity, name, child);
            }

          private:
            Visit& visit_;
        } forward(visit);
        node.converter->forEachFlatChild(node.object, node.descriptor, forward);
    }
};

} // namespace

void writeNativeFlat(ConversionResult& result, const NativeFlatNode& source, const BindingRegistry& registry,
                     FlatValue& flat) noexcept {
    result.guard([&] {
        if (!result.ok()) {
            return;
        }
        NativeSource reader;
        try {
            FlatRecordWriter<NativeSource>(reader, &registry).write(source, flat);
        } catch (const UnregisteredNativeStructure&) {
            result.setError(conversion_messages::kUnregisteredNativeStructure);
        }
    });
}

} // namespace kiv
