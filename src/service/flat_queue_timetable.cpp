// The flat walk with a sink that keeps the integer of each member of the top record that names
// a queue, and makes nothing else: every other record is still walked, for the defences.
#include "service/flat_queue_timetable.h"

#include "host/event_payload.h"
#include "value/flat_integer_readings.h"
#include "value/flat_walk.h"

#include <optional>
#include <vector>

namespace kiv {
namespace {

enum class TimetableRole : std::uint8_t { Timetable, Lead, Other };

// What a record is to the reading: the timetable itself, the value of one of its members that
// names a queue (by its index among them), or anything else.
struct TimetableTarget {
    TimetableRole role;
    std::uint32_t member;
};

class TimetableSink : public FlatIntegerReadings<TimetableSink, TimetableTarget> {
  public:
    using Role = TimetableRole;
    using Target = TimetableTarget;

    explicit TimetableSink(std::vector<TimetableMember>& members) noexcept : members_(members) {}

    bool reads(Target to) const noexcept { return to.role == Role::Lead; }
    void take(Target to, std::int64_t minutes) noexcept {
        if (reads(to)) {
            members_[to.member].minutes = minutes;
        }
    }

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
            const std::string_view name = flatMemberName(member);
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
