// The flat walk with a sink that keeps the integer of each member of the top record that names
// a queue, and makes nothing else: every other record is still walked, for the defences.
#include "service/flat_queue_timetable.h"

#include "host/event_payload.h"
#include "platform/saturating.h"
#include "value/flat_walk.h"
#include "value/number_reading.h"

#include <optional>
#include <vector>

namespace kiv {
namespace {

class TimetableSink {
  public:
    // What a record is to the reading: the timetable itself, the value of one of its members
    // that names a queue (by its index among them), or anything else.
    enum class Role : std::uint8_t { Timetable, Lead, Other };
    struct Target {
        Role role;
        std::uint32_t member;
    };

    explicit TimetableSink(std::vector<TimetableMember>& members) noexcept : members_(members) {}

    // Each as Value::asInteger(0) reads the node the tree would hold.
    void setEmpty(Target to) noexcept { take(to, 0); }
    void setBool(Target to, bool value) noexcept { take(to, value ? 1 : 0); }
    void setSigned(Target to, std::int64_t value) noexcept { take(to, value); }
    void setUnsigned(Target to, std::uint64_t value) noexcept { take(to, static_cast<std::int64_t>(value)); }
    void setFloat(Target to, double value) noexcept {
        take(to, platform::saturatingTruncate<std::int64_t>(value));
    }
    void setString(Target to, std::string_view text) noexcept { take(to, readSignedPrefix(text).value); }
    void setBlob(Target to, std::span<const std::uint8_t>) noexcept { take(to, 0); }

    auto collection(Target to, std::uint32_t) noexcept {
        take(to, 0);
        return [](std::uint32_t) { return Target{Role::Other, 0}; };
    }

    auto structure(Target to, std::uint32_t count) {
        take(to, 0);
        if (to.role == Role::Timetable) {
            members_.reserve(count);
        }
        return [this, to](const FlatStructureMember& member) {
            // A null name is the empty one, which names no queue.
            const std::string_view name = member.key ? std::string_view(member.key) : std::string_view();
            const std::optional<std::int32_t> queueId =
                to.role == Role::Timetable ? readTimetableQueueId(name) : std::nullopt;
            if (!queueId) {
                return Target{Role::Other, 0};
            }
            const auto index = static_cast<std::uint32_t>(members_.size());
            members_.push_back({*queueId, name, index, 0});
            return Target{Role::Lead, index};
        };
    }

  private:
    void take(Target to, std::int64_t minutes) noexcept {
        if (to.role == Role::Lead) {
            members_[to.member].minutes = minutes;
        }
    }

    std::vector<TimetableMember>& members_;
};

} // namespace

bool readFlatQueueLeadTimes(const FlatValue& flat, QueueLeadTimes& leads, FlatResult& failure) {
    std::vector<TimetableMember> members;
    TimetableSink sink(members);
    if (!FlatWalk<TimetableSink>(sink, kMaxFlatValues, kResultName, failure)
             .run(flat, {TimetableSink::Role::Timetable, 0})) {
        return false;
    }
    leads = leadTimesOf(members);
    return true;
}

} // namespace kiv
