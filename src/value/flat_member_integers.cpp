// The flat walk with a sink that keeps one integer per element of the top record and makes
// nothing else: every other record is still walked, for the defences, and then forgotten.
#include "value/flat_member_integers.h"

#include "value/flat_integer_readings.h"
#include "value/flat_walk.h"

namespace kiv {
namespace {

enum class MemberIntegerRole : std::uint8_t { List, Element, Integer, Other };

// What a record is to the reading: the list itself, one of its elements, the member of an
// element whose integer is read, or anything else.
struct MemberIntegerTarget {
    MemberIntegerRole role;
    std::uint32_t element; // the element's index, for Element and Integer
};

class MemberIntegerSink : public FlatIntegerReadings<MemberIntegerSink, MemberIntegerTarget> {
  public:
    using Role = MemberIntegerRole;
    using Target = MemberIntegerTarget;

    MemberIntegerSink(std::string_view key, std::vector<std::int64_t>& integers) noexcept
        : key_(key), integers_(integers) {}

    bool reads(Target to) const noexcept { return to.role == Role::Integer; }
    // A later member under the read name replaces what an earlier one gave, as it replaces the
    // earlier member's node in the tree.
    void take(Target to, std::int64_t value) noexcept {
        if (reads(to)) {
            integers_[to.element] = value;
        }
    }

    auto collection(Target to, std::uint32_t count) {
        take(to, 0);
        if (to.role == Role::List) {
            integers_.assign(count, 0);
        }
        const Role role = to.role == Role::List ? Role::Element : Role::Other;
        return [role](std::uint32_t index) { return Target{role, index}; };
    }

    auto structure(Target to, std::uint32_t) noexcept {
        take(to, 0);
        return [this, to](const FlatStructureMember& member) {
            const bool read = to.role == Role::Element && flatMemberName(member) == key_;
            return Target{read ? Role::Integer : Role::Other, to.element};
        };
    }

  private:
    std::string_view key_;
    std::vector<std::int64_t>& integers_;
};

} // namespace

bool flatMemberIntegers(const FlatValue& flat, std::string_view key, std::vector<std::int64_t>& integers,
                        std::string_view targetName, FlatResult& result) {
    integers.clear();
    MemberIntegerSink sink(key, integers);
    return FlatWalk<MemberIntegerSink>(sink, kMaxFlatValuesWithoutTree, targetName, result)
        .run(flat, {MemberIntegerSink::Role::List, 0});
}

} // namespace kiv
