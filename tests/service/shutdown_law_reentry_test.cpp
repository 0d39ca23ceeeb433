// The queue-list handler against a plugin whose list read lets the host deliver other events
// meanwhile, or fails.
#include "service/shutdown_law.h"
#include "service/shutdown_law_names.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

class ScriptedContext final : public ShutdownLawContext {
  public:
    std::map<std::string, std::string, std::less<>> resources; // path -> JSON
    struct Observer {
        ResourceReader* reader;
        ChangeHandler handler;
    };
    std::map<std::string, Observer, std::less<>> observers;
    std::vector<std::string> jobNames;
    std::function<void()> duringListRead;

    ApiResult<void> observe(std::string_view path, ResourceReader& reader, ChangeHandler handler) override {
        const Observer& observer = observers[std::string(path)] = {&reader, handler};
        const auto resource = resources.find(path);
        if (resource == resources.end()) {
            return absent();
        }
        deliver(observer, resource->second);
        return {};
    }
    ApiResult<void> read(std::string_view path, ResourceReader& reader) override {
        const auto resource = resources.find(path);
        if (resource == resources.end()) {
            return absent();
        }
        reader.readTree(parseJson(resource->second).value());
        return {};
    }
    // The host runs other work while the body it took is read.
    ApiResult<std::vector<std::int64_t>> readListIds(std::string_view path) override {
        const auto resource = resources.find(path);
        const std::string body = resource == resources.end() ? std::string() : resource->second;
        if (duringListRead) {
            duringListRead();
        }
        if (resource == resources.end()) {
            return absent();
        }
        ConversionResult list = parseJson(body);
        if (!list.ok() || !list.value().isCollection()) {
            ApiError error;
            error.message = "not a list";
            return error;
        }
        std::vector<std::int64_t> ids;
        for (const Value& queue : list.value().elements()) {
            ids.push_back(queue["id"].asInteger(0));
        }
        return ids;
    }
    std::int64_t nowNs() override { return 0; }
    void scheduleJobAt(std::string_view name, std::int64_t, std::function<void()>) override {
        jobNames.emplace_back(name);
    }
    void publish(std::string_view, const PublishedData&) override {}

    void change(std::string_view path) {
        deliver(observers.at(std::string(path)), resources.at(std::string(path)));
    }

  private:
    static ApiError absent() {
        ApiError error;
        error.message = "absent";
        error.setErrorCode(404);
        return error;
    }
    static void deliver(const Observer& observer, const std::string& json) {
        observer.reader->readTree(parseJson(json).value());
        observer.handler(ResourceChange{true});
    }
};

constexpr const char* kEnabledPacket =
    R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 300})";

std::size_t disableJobCount(const ScriptedContext& context) {
    std::size_t count = 0;
    for (const std::string& name : context.jobNames) {
        count += name.starts_with("kiv-kr-shutdown-law.disable-");
    }
    return count;
}

TEST(ShutdownLawReentryTest, ANestedQueueListDeliveryDuringTheReadBuildsNoSecondSetOfJobs) {
    ScriptedContext context;
    context.resources[std::string(kLoginDataPacketPath)] = kEnabledPacket;
    context.resources[std::string(kGameQueuesPath)] = R"([{"id": 1}, {"id": 2}])";
    ShutdownLaw law(context);
    int nested = 0;
    context.duringListRead = [&] {
        if (nested++ == 0) {
            context.change(kGameQueuesPath);
            context.change(kQueueTimetablePath);
        }
    };
    context.resources[std::string(kQueueTimetablePath)] = R"({"1": 10})";
    law.start();
    // Two listed queues, the custom queue and all queues, once.
    EXPECT_EQ(disableJobCount(context), 4u);
}

TEST(ShutdownLawReentryTest, AListThatChangesDuringTheReadIsReadAgainAfterIt) {
    ScriptedContext context;
    context.resources[std::string(kLoginDataPacketPath)] = kEnabledPacket;
    context.resources[std::string(kQueueTimetablePath)] = "{}";
    context.resources[std::string(kGameQueuesPath)] = R"([{"id": 1}])";
    ShutdownLaw law(context);
    int reads = 0;
    context.duringListRead = [&] {
        if (reads++ == 0) {
            context.resources[std::string(kGameQueuesPath)] = R"([{"id": 1}, {"id": 2}])";
            context.change(kGameQueuesPath);
        }
    };
    law.start();
    EXPECT_EQ(reads, 2);
    // The grown list plans queue 2, and all queues follow it.
    EXPECT_EQ(
        context.jobNames,
        (std::vector<std::string>{
            std::string(kCutOffJobName), std::string(kWarningJobName), std::string(DisableQueueJobName(1)),
            std::string(DisableQueueJobName(kCustomQueueId)), std::string(kDisableAllQueuesJobName),
            std::string(DisableQueueJobName(2)), std::string(kDisableAllQueuesJobName)}));
}

TEST(ShutdownLawReentryTest, AFailedListReadPlansOnlyTheCustomQueueAndTheNextEventTriesAgain) {
    ScriptedContext context;
    context.resources[std::string(kLoginDataPacketPath)] = kEnabledPacket;
    context.resources[std::string(kQueueTimetablePath)] = "{}";
    context.resources[std::string(kGameQueuesPath)] = R"({"not": "a list"})";
    ShutdownLaw law(context);
    law.start();
    EXPECT_EQ(context.jobNames.back(), std::string_view(DisableQueueJobName(kCustomQueueId)));
    EXPECT_EQ(disableJobCount(context), 1u);

    context.resources[std::string(kGameQueuesPath)] = R"([{"id": 7}])";
    context.change(kQueueTimetablePath);
    // Queue 7 and all queues; the custom queue is not planned a second time.
    EXPECT_EQ(disableJobCount(context), 3u);
}

TEST(ShutdownLawReentryTest, AnAbsentTimetableStillClosesTheQueuesAtTheDefaultLead) {
    ScriptedContext context;
    context.resources[std::string(kLoginDataPacketPath)] = kEnabledPacket;
    context.resources[std::string(kGameQueuesPath)] = R"([{"id": 7}])";
    ShutdownLaw law(context);
    law.start();
    EXPECT_TRUE(law.state().queueDisableMinutes.empty());
    EXPECT_EQ(disableJobCount(context), 3u);
}

} // namespace
} // namespace kiv::test
