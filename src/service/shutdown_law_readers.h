// What the shutdown law reads from each resource it watches, kept until its handler takes it: the
// login data packet's five members, the timetable's lead times (read from the host's record
// without a tree), and of the game-queue list nothing, as its handler reads the list afresh.
#pragma once

#include "host/resource_reader.h"
#include "service/cut_off_schedule.h"
#include "service/queue_timetable.h"

namespace kiv {

class LoginDataReader final : public ResourceReader {
  public:
    void readTree(const Value& data) override { login = readLoginData(data); }

    LoginData login;
};

class TimetableReader final : public ResourceReader {
  public:
    void readTree(const Value& data) override { leads = readQueueLeadTimes(data); }
    [[nodiscard]] bool readFlat(const FlatValue& data, FlatResult& failure) override;

    QueueLeadTimes leads;
};

// A change of the resource is all its handler needs to know.
class ChangeOnlyReader final : public ResourceReader {
  public:
    void readTree(const Value&) override {}
    [[nodiscard]] bool readFlat(const FlatValue&, FlatResult&) override { return true; }
};

} // namespace kiv
