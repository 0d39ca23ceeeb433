#include "kivhost/scenario/expectation_check.h"

#include "kivhost/scenario/minutes.h"

#include "kivhost/core/json_text.h"

#include <algorithm>

namespace kiv::kivhost {
namespace {

// Whether `observed` has what `expected` names: the members of a mapping (others may be there
// too, at every depth), anything else exactly.
bool holds(const Value& observed, const Value& expected) {
    if (!expected.isStructure()) {
        return toJson(observed) == toJson(expected);
    }
    if (!observed.isStructure()) {
        return false;
    }
    return std::all_of(expected.members().begin(), expected.members().end(), [&](const ValueMember member) {
        const Value* found = observed.find(member.key);
        return found && holds(*found, member.value);
    });
}

// An error answer as failures write it: error "Unknown queueId: -2".
std::string errorText(const std::string& error) {
    Value text;
    text.setString(error);
    return "error " + toJson(text);
}

std::string timesText(std::uint64_t times) {
    return times == 1 ? "once" : std::to_string(times) + " times";
}

} // namespace

void ExpectationCheck::record(const Happening& happening) {
    if (const auto* event = std::get_if<EventSent>(&happening.detail)) {
        seen_.push_back({happening.timeMs, true, event->name, 0, event->payload});
    } else if (const auto* log = std::get_if<LogWritten>(&happening.detail)) {
        seen_.push_back({happening.timeMs, false, log->text, log->level, {}});
    }
}

void ExpectationCheck::begin(PluginHost& host, const Expectation& expectation) {
    open_.push_back(&expectation);
    if (expectation.kind == ExpectationKind::Answer) {
        askAnswer(host, expectation);
    }
}

void ExpectationCheck::entered(PluginHost& host) {
    // Asking may fail an expectation, which takes it out of open_. An answer expected at one
    // moment was asked at its turn, before the steps that follow it at that moment.
    const std::vector<const Expectation*> open = open_;
    for (const Expectation* expectation : open) {
        if (expectation->kind == ExpectationKind::Answer && expectation->throughMs > expectation->atMs) {
            askAnswer(host, *expectation);
        }
    }
}

void ExpectationCheck::movingTo(std::int64_t nextMs) {
    const auto ended = [&](const Expectation* expectation) { return expectation->throughMs < nextMs; };
    const std::vector<const Expectation*> open = open_;
    for (const Expectation* expectation : open) {
        if (ended(expectation) && expectation->kind != ExpectationKind::Answer) {
            settle(*expectation);
        }
    }
    std::erase_if(open_, ended);
}

void ExpectationCheck::askAnswer(PluginHost& host, const Expectation& expectation) {
    const Response response = host.request(KIV_HTTP_METHOD_GET, expectation.subject);
    const std::uint32_t status = answeredStatus(response);
    const bool statusHolds = !expectation.status || *expectation.status == status;
    const bool valueHolds =
        !expectation.value || (!response.error && toJson(response.value) == toJson(*expectation.value));
    const bool errorHolds = !expectation.error || response.error == expectation.error;
    if (statusHolds && valueHolds && errorHolds) {
        return;
    }
    std::string expected = expectation.status ? std::to_string(*expectation.status) : "";
    if (expectation.value || expectation.error) {
        expected += (expected.empty() ? "" : " ") +
                    (expectation.value ? toJson(*expectation.value) : errorText(*expectation.error));
    }
    std::string observed =
        std::to_string(status) + " " + (response.error ? errorText(*response.error) : toJson(response.value));
    if (expectation.throughMs > expectation.atMs) {
        observed += " at minute " + minutesText(host.nowMs());
    }
    fail(expectation, std::move(expected), std::move(observed));
}

void ExpectationCheck::settle(const Expectation& expectation) {
    const bool isEvent = expectation.kind == ExpectationKind::Event;
    std::uint64_t matching = 0;
    std::uint64_t others = 0;
    const Seen* other = nullptr;
    for (const Seen& seen : seen_) {
        if (seen.isEvent != isEvent || seen.ms < expectation.atMs || seen.ms > expectation.throughMs) {
            continue;
        }
        if (!isEvent) {
            matching += seen.text.find(expectation.subject) != std::string::npos &&
                        (!expectation.level || *expectation.level == seen.level);
        } else if (seen.text == expectation.subject) {
            const bool payloadHolds = !expectation.value || holds(seen.payload, *expectation.value);
            matching += payloadHolds;
            others += !payloadHolds;
            other = payloadHolds ? other : &seen;
        }
    }
    if (expectation.times ? matching == *expectation.times : matching > 0) {
        return;
    }
    const char* verb = isEvent ? "published" : "written";
    const std::string with = expectation.value ? " with payload " + toJson(*expectation.value) : "";
    std::string expected = std::string(verb) + with + " " +
                           (expectation.times ? timesText(*expectation.times) : std::string("at least once"));
    std::string observed = matching == 0 ? std::string("never") : timesText(matching);
    if (other) {
        observed += ", and " + timesText(others) + " with other payloads, the last " + toJson(other->payload);
    }
    fail(expectation, std::move(expected), std::move(observed));
}

void ExpectationCheck::fail(const Expectation& expectation, std::string expected, std::string observed) {
    failures_.push_back({&expectation, std::move(expected), std::move(observed)});
    std::erase(open_, &expectation);
}

} // namespace kiv::kivhost
