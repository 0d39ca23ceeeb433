#include "binding/conversion_work.h"

#include "binding/binding_field_converter.h"
#include "binding/binding_type_descriptor.h"
#include "binding/conversion_messages.h"
#include "platform/invariant.h"
#include "value/conversion_result.h"
#include "value/flat_node.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace kiv {

bool ConversionWork::ok() const noexcept {
    return result_.ok();
}

void ConversionWork::fail(std::string_view templ, std::initializer_list<FormatArg> args) {
    if (result_.ok()) {
        result_.setError(formatMessage(templ, args));
    }
}

void ConversionWork::failWith(std::string_view message) {
    if (result_.ok()) {
        result_.setError(message);
    }
}

void ConversionWork::assign(const BindingFieldConverter& converter, void* target, const Value& input,
                            std::string_view name, const BindingTypeDescriptor* descriptor) {
    run(AssignStep{&converter, target, &input, name, descriptor});
}

void ConversionWork::convert(const BindingFieldConverter& converter, const void* source, Value& target,
                             const BindingTypeDescriptor* descriptor) {
    run(ConvertStep{&converter, source, &target, descriptor});
}

void ConversionWork::queueAssign(const BindingFieldConverter& converter, void* target, const Value& input,
                                 std::string_view name, const BindingTypeDescriptor* descriptor) {
    stack_.emplace(AssignStep{&converter, target, &input, name, descriptor});
}

void ConversionWork::queueFieldAssign(const BindingField& field, void* structure, const Value& input,
                                      std::string_view name, const BindingTypeDescriptor& structureType) {
    KIV_ASSERT(field.offset < structureType.size, "a field's member lies inside the native structure");
    stack_.emplace(AssignFieldStep{&field, structure, &input, name, &structureType});
}

void ConversionWork::queueConvert(const BindingFieldConverter& converter, const void* source, Value& target,
                                  const BindingTypeDescriptor* descriptor) {
    stack_.emplace(ConvertStep{&converter, source, &target, descriptor});
}

void ConversionWork::queueFieldConvert(const BindingField& field, const void* structure, Value& target,
                                       const BindingTypeDescriptor& structureType) {
    KIV_ASSERT(field.offset < structureType.size, "a field's member lies inside the native structure");
    stack_.emplace(ConvertFieldStep{&field, structure, &target});
}

void ConversionWork::run(Step first) {
    // The first step runs even on a failed result: some targets (strings, vectors, objects)
    // are reset whatever happens. Nested steps run only while the result is ok.
    KIV_ASSERT(stack_.empty(), "one conversion runs at a time: converters queue steps, they never run one");
    stack_.push(std::move(first));
    bool firstStep = true;
    while (!stack_.empty()) {
        if (!firstStep && !ok()) {
            stack_.clear();
            break;
        }
        firstStep = false;
        Step step = stack_.pop();
        const std::size_t queuedFrom = stack_.size();
        execute(step);
        KIV_ASSERT(stack_.size() >= queuedFrom, "a step only adds steps above the ones waiting");
        // Queued in order, popped from the back: reversing makes the first queued run first.
        std::reverse(stack_.begin() + queuedFrom, stack_.end());
    }
}

void ConversionWork::execute(Step& step) {
    std::visit([this](auto& concrete) { execute(concrete); }, step);
}

void ConversionWork::execute(AssignStep& step) {
    step.converter->assign(*this, step.target, *step.input, step.name, step.descriptor);
}

void ConversionWork::execute(AssignFieldStep& step) {
    const BindingField& field = *step.field;
    const Value* member = step.input->find(field.name);
    if (member != nullptr && !member->isEmpty()) {
        if (field.converter != nullptr) {
            field.converter->assign(*this, fieldIn(step.structure, field), *member, field.name,
                                    field.type.descriptor);
        }
    } else if (hasFlag(field.flags, BindingFieldFlags::Required)) {
        fail(conversion_messages::kMissingRequiredField, {step.name, step.structureType->name, field.name});
    }
}

void ConversionWork::execute(ConvertStep& step) {
    step.converter->convert(*this, step.source, *step.target, step.descriptor);
}

void ConversionWork::execute(ConvertFieldStep& step) {
    const BindingField& field = *step.field;
    if (field.converter == nullptr) {
        return;
    }
    const void* member = fieldIn(step.structure, field);
    if (!hasFlag(field.flags, BindingFieldFlags::OmitWhenEmpty)) {
        field.converter->convert(*this, member, step.target->member(field.name), field.type.descriptor);
        return;
    }
    auto converted = std::make_unique<Value>();
    field.converter->convert(*this, member, *converted, field.type.descriptor);
    stack_.emplace(StoreFieldStep{&field, step.target, std::move(converted)});
}

void ConversionWork::execute(StoreFieldStep& step) {
    if (!isOmittable(flatNodeOf(*step.converted))) {
        step.target->member(step.field->name) = std::move(*step.converted);
    }
}

} // namespace kiv
