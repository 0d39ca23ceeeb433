// Makes every operator new of the test binary fail while an instance lives, so that a test can
// show that a path allocates nothing (a failed allocation in a noexcept function ends the
// process).
#pragma once

namespace kiv::test {

class FailingAllocations {
  public:
    FailingAllocations() noexcept;
    ~FailingAllocations();
    FailingAllocations(const FailingAllocations&) = delete;
    FailingAllocations& operator=(const FailingAllocations&) = delete;
};

} // namespace kiv::test
