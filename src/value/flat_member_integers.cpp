// The flat walk with a sink that keeps one integer per element of the top record and makes
// nothing else: every other record is still walked, for the defences, and then forgotten.
#include "value/flat_member_integers.h"

#include "platform/saturating.h"
#include "value/flat_walk.h"
#include "value/number_reading.h"

namespace kiv {
namespace {

class MemberIntegerSink {
  public:
    // What a record is to the reading: the list itself, one of its elements, the member of an
    // element whose integer is read, or anything else.
    enum class Role : std::uint8_t { List, Element, Integer, Other };
    struct Target {
        Role role;
        std::uint32_t element; // the element's index, for Element and Integer
    };

    MemberIntegerSink(std::string_view key, std::vector<std::int64_t>& integers) noexcept
        : key_(key), integers_(integers) {}

    // Each as Value::asInteger(0) reads the node the tree would hold.
    void setEmpty(Target to) noexcept { take(to, 0); }
    void setBool(Target to, bool value) noexcept { take(to, value ? 1 : 0); }
    void setSigned(Target to, std::int64_t value) noexcept { take(to, value); }
    void setUnsigned(Target to, std::uint64_t value) noexcept { take(to, static_cast<std::int64_t>(value)); }
    void setFloat(Target to, double value) noexcept {
        take(to, platform::saturatingTruncate<std::int64_t>(value));
    }
    void setString(Target to, std::string_view text) noexcept {
        if (to.role == Role::Integer) {
            integers_[to.element] = readSignedPrefix(text).value;
        }
    }
    void setBlob(Target to, std::span<const std::uint8_t>) noexcept { take(to, 0); }

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
            const bool read = to.role == Role::Element && keyOf(member) == key_;
            return Target{read ? Role::Integer : Role::Other, to.element};
        };
    }

  private:
    // A member's name as the tree keys it: a null name is the empty one.
    static std::string_view keyOf(const FlatStructureMember& member) noexcept {
        return member.key ? std::string_view(member.key) : std::string_view();
    }

    // A later member under the read name replaces what an earlier one gave, as it replaces the
    // earlier member's node in the tree.
    void take(Target to, std::int64_t value) noexcept {
        if (to.role == Role::Integer) {
            integers_[to.element] = value;
        }
    }

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
