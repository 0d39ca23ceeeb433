// The explicit stack on which one conversion runs. The first step runs at once; every step
// may queue nested steps, which run after it, depth first and in the order queued, each only
// while the result is still ok. The first error therefore ends the conversion and stays the
// result's message.
#pragma once

#include "format/message_format.h"
#include "value/small_stack.h"

#include <initializer_list>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace kiv {

class BindingFieldConverter;
class BindingRegistry;
class ConversionResult;
class Value;
struct BindingField;
struct BindingTypeDescriptor;

class ConversionWork {
  public:
    ConversionWork(ConversionResult& result, const BindingRegistry& registry) noexcept
        : result_(result), registry_(registry) {}
    ConversionWork(const ConversionWork&) = delete;
    ConversionWork& operator=(const ConversionWork&) = delete;

    [[nodiscard]] bool ok() const noexcept;
    [[nodiscard]] const BindingRegistry& registry() const noexcept { return registry_; }
    // Records the message, unless an earlier one is already there.
    void fail(std::string_view templ, std::initializer_list<FormatArg> args);
    // The same with a message that is already built.
    void failWith(std::string_view message);

    // Runs one whole conversion.
    void assign(const BindingFieldConverter& converter, void* target, const Value& input,
                std::string_view name, const BindingTypeDescriptor* descriptor);
    void convert(const BindingFieldConverter& converter, const void* source, Value& target,
                 const BindingTypeDescriptor* descriptor);

    // Nested steps, for converters of containers.
    void queueAssign(const BindingFieldConverter& converter, void* target, const Value& input,
                     std::string_view name, const BindingTypeDescriptor* descriptor);
    // One field of a structure: looked up in `input` when its turn comes.
    void queueFieldAssign(const BindingField& field, void* structure, const Value& input,
                          std::string_view name, const BindingTypeDescriptor& structureType);
    void queueConvert(const BindingFieldConverter& converter, const void* source, Value& target,
                      const BindingTypeDescriptor* descriptor);
    void queueFieldConvert(const BindingField& field, const void* structure, Value& target,
                           const BindingTypeDescriptor& structureType);

    // Keeps what a target gave up until the conversion ends instead of destroying it: the
    // input may lie inside it (a structure assigned from its own generic member), and the
    // steps still queued read that input.
    template <class T> void keepUntilDone(T&& discarded) {
        using Kept = std::remove_cvref_t<T>;
        Retired kept(new Kept(std::forward<T>(discarded)),
                     [](void* part) { delete static_cast<Kept*>(part); });
        retired_.push_back(std::move(kept));
    }

  private:
    struct AssignStep {
        const BindingFieldConverter* converter;
        void* target;
        const Value* input;
        std::string_view name;
        const BindingTypeDescriptor* descriptor;
    };
    struct AssignFieldStep {
        const BindingField* field;
        void* structure;
        const Value* input;
        std::string_view name;
        const BindingTypeDescriptor* structureType;
    };
    struct ConvertStep {
        const BindingFieldConverter* converter;
        const void* source;
        Value* target;
        const BindingTypeDescriptor* descriptor;
    };
    struct ConvertFieldStep {
        const BindingField* field;
        const void* structure;
        Value* target;
    };
    // An omit-when-empty member, converted apart and stored once it is known to have content.
    struct StoreFieldStep {
        const BindingField* field;
        Value* target;
        std::unique_ptr<Value> converted;
    };
    using Step = std::variant<AssignStep, AssignFieldStep, ConvertStep, ConvertFieldStep, StoreFieldStep>;

    void run(Step first);
    void execute(Step& step);
    void execute(AssignStep& step);
    void execute(AssignFieldStep& step);
    void execute(ConvertStep& step);
    void execute(ConvertFieldStep& step);
    void execute(StoreFieldStep& step);

    using Retired = std::unique_ptr<void, void (*)(void*)>;

    ConversionResult& result_;
    const BindingRegistry& registry_;
    // Room for the steps of a small structure without a heap block.
    SmallStack<Step, 8> stack_;
    std::vector<Retired> retired_;
};

} // namespace kiv
