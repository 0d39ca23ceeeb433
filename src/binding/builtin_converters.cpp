// The converters of bool, string, object, blob and registered structures.
#include "binding/conversion_messages.h"
#include "binding/conversion_work.h"
#include "binding/native_converters.h"
#include "binding/scalar_assign.h"
#include "platform/invariant.h"

namespace kiv {

namespace msg = conversion_messages;

namespace {

class BoolConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        bool value = false;
        if (work.ok() && assignBool(work, input, name, value)) {
            *static_cast<bool*>(target) = value;
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setBool(*static_cast<const bool*>(source));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::scalar(ValueKind::Bool, *static_cast<const bool*>(source) ? 1 : 0);
    }
};

class StringConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        assignString(work, input, name, *static_cast<std::string*>(target));
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setString(*static_cast<const std::string*>(source));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::ofText(*static_cast<const std::string*>(source));
    }
};

// A generic value held natively: copied whole, whatever its shape (the copy is iterative).
// The input may lie in the target's own tree, so the copy is made before the target gives
// up its content.
class ObjectConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view,
                const BindingTypeDescriptor*) const override {
        auto& value = *static_cast<Value*>(target);
        if (!work.ok()) {
            value.setEmpty();
        } else if (!value.ownsContext() || value.isEmpty()) {
            // A node of a larger tree is only ever the whole target, and an empty value gives up
            // nothing: no later step can read what goes.
            value = input;
        } else {
            Value copy(input);
            work.keepUntilDone(std::move(value)); // a root: its tree moves out whole
            value = std::move(copy);
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target = *static_cast<const Value*>(source);
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return flatNodeOf(*static_cast<const Value*>(source));
    }
    void forEachFlatChild(const void* source, const BindingTypeDescriptor*,
                          NativeChildVisitor& visitor) const override {
        kiv::forEachFlatChild(*static_cast<const Value*>(source),
                              [&](const void* nameIdentity, std::string_view name, const Value& child) {
                                  visitor.child(nameIdentity, name, {this, &child, nullptr});
                              });
    }
};

class BlobConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        if (!work.ok()) {
            return;
        }
        switch (input.kind()) {
        case ValueKind::Empty:
            work.fail(msg::kRequired, {name});
            return;
        case ValueKind::Blob: {
            const auto bytes = input.getBlob({});
            static_cast<std::vector<std::uint8_t>*>(target)->assign(bytes.begin(), bytes.end());
            return;
        }
        default:
            work.fail(msg::kInvalidInputKind,
                      {name, bindingTypeKindName(BindingTypeKind::Blob), valueKindName(input.kind())});
            return;
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setBlob(std::span<const std::uint8_t>(*static_cast<const std::vector<std::uint8_t>*>(source)));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::ofBytes(*static_cast<const std::vector<std::uint8_t>*>(source));
    }
};

// A registered structure, field by field in declaration order.
class StructConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor* descriptor) const override {
        if (!work.ok()) {
            return;
        }
        if (input.isEmpty()) {
            work.fail(msg::kRequired, {name});
        } else if (descriptor == nullptr) {
            work.fail(msg::kUnregisteredStructure, {name});
        } else if (!input.isStructure()) {
            work.fail(msg::kNotAStructure, {name, descriptor->name});
        } else {
            KIV_ASSERT(!descriptor->isEnum, "a structure converter is given a structure's descriptor");
            for (const BindingField& field : descriptor->fields) {
                work.queueFieldAssign(field, target, input, name, *descriptor);
            }
        }
    }
    void convert(ConversionWork& work, const void* source, Value& target,
                 const BindingTypeDescriptor* descriptor) const override {
        if (descriptor == nullptr) {
            work.fail(msg::kUnregisteredNativeStructure, {});
            return;
        }
        KIV_ASSERT(!descriptor->isEnum, "a structure converter is given a structure's descriptor");
        target.setEmpty();
        target.makeStructure();
        for (const BindingField& field : descriptor->fields) {
            work.queueFieldConvert(field, source, target, *descriptor);
        }
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor* descriptor) const override {
        std::size_t count = 0;
        forEachWrittenField(source, descriptor, [&](const BindingField&) { ++count; });
        return FlatNode::container(ValueKind::Structure, count);
    }
    void forEachFlatChild(const void* source, const BindingTypeDescriptor* descriptor,
                          NativeChildVisitor& visitor) const override {
        forEachWrittenField(source, descriptor, [&](const BindingField& field) {
            visitor.child(field.name.data(), field.name,
                          {field.converter, fieldIn(source, field), field.type.descriptor});
        });
    }

  private:
    // Calls write(field) for each member that convert() leaves in the structure, in member
    // order: of the fields under one name, the last that is not left out, as each such field
    // overwrites the member the one before it made.
    template <class Write>
    static void forEachWrittenField(const void* source, const BindingTypeDescriptor* descriptor,
                                    Write&& write) {
        if (descriptor == nullptr) {
            throw UnregisteredNativeStructure{};
        }
        KIV_ASSERT(!descriptor->isEnum, "a structure converter is given a structure's descriptor");
        const BindingField* written = nullptr;
        for (const BindingFieldByName& entry : descriptor->fieldsByName) {
            const BindingField& field = descriptor->fields[entry.index];
            if (field.converter != nullptr && !isLeftOut(field, source)) {
                written = &field;
            }
            if (entry.lastOfName && written != nullptr) {
                write(*written);
            }
            written = entry.lastOfName ? nullptr : written;
        }
    }

    static bool isLeftOut(const BindingField& field, const void* structure) {
        return hasFlag(field.flags, BindingFieldFlags::OmitWhenEmpty) &&
               isOmittable(field.converter->flatNode(fieldIn(structure, field), field.type.descriptor));
    }
};

} // namespace

const BindingFieldConverter& boolConverter() noexcept {
    static const BoolConverter converter;
    return converter;
}

const BindingFieldConverter& stringConverter() noexcept {
    static const StringConverter converter;
    return converter;
}

const BindingFieldConverter& objectConverter() noexcept {
    static const ObjectConverter converter;
    return converter;
}

const BindingFieldConverter& blobConverter() noexcept {
    static const BlobConverter converter;
    return converter;
}

const BindingFieldConverter& structConverter() noexcept {
    static const StructConverter converter;
    return converter;
}

} // namespace kiv
