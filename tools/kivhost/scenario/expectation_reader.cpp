#include "kivhost/scenario/expectation_reader.h"

#include "kivhost/scenario/value_description.h"

#include <algorithm>
#include <initializer_list>

namespace kiv::kivhost {
namespace {

// Each kind of expectation: its key, and the keys that may come with it.
struct ExpectationForm {
    std::string_view key;
    std::initializer_list<std::string_view> with;
};
constexpr std::string_view kKinds = "get, law, closed, event or log";

const ExpectationForm kForms[] = {
    {"get", {"status", "value", "error"}}, {"law", {}}, {"closed", {}}, {"event", {"payload", "times"}},
    {"log", {"level", "times"}},
};

class ExpectationReader {
  public:
    ExpectationReader(const std::string& where, Expectation& into) : where_(where), into_(into) {}

    void read(const Value& expect) {
        if (!expect.isStructure()) {
            fail("'expect' must be a mapping such as {law: WARNING}, " + described(expect));
        }
        const ExpectationForm& form = formOf(expect);
        for (const ValueMember member : expect.members()) {
            if (member.key != form.key &&
                std::find(form.with.begin(), form.with.end(), member.key) == form.with.end()) {
                fail("'" + std::string(member.key) + "' does not go with '" + std::string(form.key) + "'");
            }
        }
        const Value& subject = *expect.find(form.key);
        if (form.key == "get") {
            readGet(expect, subject);
        } else if (form.key == "law") {
            readAnswerShorthand("law", kLawStatusPath, [&] {
                if (subject.kind() != ValueKind::String) {
                    fail("'law' must be a status such as WARNING, " + described(subject));
                }
                Value status;
                status.member("type") = subject;
                return status;
            });
        } else if (form.key == "closed") {
            readAnswerShorthand("closed", kClosedQueuesPath, [&] {
                if (!subject.isCollection()) {
                    fail("'closed' must be a list of queue ids such as [450, -2], " + described(subject));
                }
                return subject;
            });
        } else {
            readHappening(form.key, expect, subject);
        }
    }

  private:
    [[noreturn]] void fail(const std::string& what) const { throw ScenarioError(where_ + what); }

    const ExpectationForm& formOf(const Value& expect) const {
        const ExpectationForm* found = nullptr;
        for (const ExpectationForm& form : kForms) {
            if (!expect.find(form.key)) {
                continue;
            }
            if (found) {
                fail("'expect' has both " + std::string(found->key) + " and " + std::string(form.key) +
                     "; a step expects one thing");
            }
            found = &form;
        }
        if (!found) {
            fail("'expect' names none of " + std::string(kKinds));
        }
        return *found;
    }

    std::string text(const Value& value, std::string_view key) const {
        if (value.kind() != ValueKind::String || value.getString("").empty()) {
            fail("'" + std::string(key) + "' must be a text, " + described(value));
        }
        return std::string(value.getString(""));
    }

    std::uint64_t count(const Value& value, std::string_view key, std::uint64_t limit) const {
        const bool whole = value.kind() == ValueKind::Unsigned ||
                           (value.kind() == ValueKind::Signed && value.getSigned(-1) >= 0);
        const std::uint64_t number = value.kind() == ValueKind::Unsigned
                                         ? value.getUnsigned(0)
                                         : static_cast<std::uint64_t>(value.getSigned(0));
        if (!whole || number > limit) {
            fail("'" + std::string(key) + "' must be a whole number from 0 to " + std::to_string(limit) +
                 ", " + described(value));
        }
        return number;
    }

    void readGet(const Value& expect, const Value& path) {
        into_.kind = ExpectationKind::Answer;
        into_.subject = text(path, "get");
        if (!into_.subject.starts_with("/")) {
            fail("the path of 'get' must begin with '/', " + described(path));
        }
        into_.label = "GET " + into_.subject;
        const Value* status = expect.find("status");
        const Value* value = expect.find("value");
        const Value* error = expect.find("error");
        if (!status && !value && !error) {
            fail("'get' needs a 'status', and a 'value' or an 'error', what the answer must be");
        }
        if (value && error) {
            fail("'get' expects a 'value' or an 'error', not both");
        }
        if (error) {
            into_.error = text(*error, "error");
        }
        if (status) {
            into_.status = static_cast<std::uint32_t>(count(*status, "status", 599));
        }
        if (value) {
            into_.value = *value;
        }
    }

    template <class ValueOf>
    void readAnswerShorthand(std::string_view key, std::string_view path, ValueOf valueOf) {
        into_.kind = ExpectationKind::Answer;
        into_.subject = std::string(path);
        into_.label = std::string(key) + " (GET " + std::string(path) + ")";
        into_.status = 200;
        into_.value = valueOf();
    }

    void readHappening(std::string_view key, const Value& expect, const Value& subject) {
        into_.kind = key == "event" ? ExpectationKind::Event : ExpectationKind::Log;
        into_.subject = text(subject, key);
        if (const Value* times = expect.find("times")) {
            into_.times = count(*times, "times", 1000000);
        }
        if (const Value* payload = expect.find("payload")) {
            into_.value = *payload;
        }
        if (const Value* level = expect.find("level")) {
            into_.level = readLevel(*level);
        }
        into_.label = into_.kind == ExpectationKind::Event
                          ? "event " + into_.subject
                          : "log" + (into_.level ? " " + logLevelText(*into_.level) : std::string()) + " '" +
                                into_.subject + "'";
    }

    std::uint32_t readLevel(const Value& level) const {
        const auto names = logLevelNames();
        if (level.kind() == ValueKind::String) {
            const auto name = std::find(names.begin(), names.end(), level.getString(""));
            if (name != names.end()) {
                return static_cast<std::uint32_t>(name - names.begin());
            }
        } else if (level.kind() == ValueKind::Signed || level.kind() == ValueKind::Unsigned) {
            return static_cast<std::uint32_t>(count(level, "level", 0xFFFFFFFFu));
        }
        fail("'level' must be OKAY, WARN, ERROR, ALWAYS or a number, " + described(level));
    }

    const std::string& where_;
    Expectation& into_;
};

} // namespace

void readExpectation(const Value& expect, const std::string& where, Expectation& into) {
    ExpectationReader(where, into).read(expect);
}

} // namespace kiv::kivhost
