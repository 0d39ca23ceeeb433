// Gives each test a service of its own: acquired before the test and released after it, so the
// next test starts again from the defaults.
#pragma once

#include "logging/log_service.h"

#include <gtest/gtest.h>

#include <mutex>

namespace kiv::test {

class LogServiceFixture : public ::testing::Test {
  protected:
    void SetUp() override { LogService::acquire(); }
    void TearDown() override { LogService::release(); }

    // Runs `operation` on the service under its lock.
    template <class Operation> static auto withService(Operation operation) {
        std::lock_guard lock(LogService::lock());
        return operation(*LogService::currentOrCreate());
    }

    // Keeps the console targets quiet for tests that only look at their own targets.
    static void detachBuiltInTargets() {
        withService([](LogService& service) {
            service.stdErrTarget().detach();
            service.debuggerTarget().detach();
        });
    }
};

} // namespace kiv::test
