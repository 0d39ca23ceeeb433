// A flat value as a host hands it to the plugin, alive as long as this object: a well-formed one
// converted from JSON (the host's own conversion, released by it), or a hostile graph whose
// pointers all lead into this object's buffers. A graph's kinds, counts, length words and keys
// are the input's: kinds beyond the last, arrays that share elements or contain themselves,
// null pointers with counts, keys that run on into the next text, length words that disagree with
// the text. What stays true is only what no plugin could check: every pointer and count stays
// inside the buffers, and the texts end with a terminator.
#pragma once

#include "host_script.h"
#include "kiv/plugin_abi.h"

#include <string>
#include <vector>

namespace kiv::fuzzing {

class HostFlat {
  public:
    explicit HostFlat(const PayloadPlan& payload);
    explicit HostFlat(const GraphPlan& graph);
    ~HostFlat();
    HostFlat(const HostFlat&) = delete;
    HostFlat& operator=(const HostFlat&) = delete;

    const FlatValue& value() const noexcept { return root_; }

  private:
    void convertJson(const std::string& json, const std::string* uri, const std::string* eventType);
    void buildGraph(const GraphPlan& graph);
    FlatValue node(const GraphNode& plan);
    const char* textAt(std::uint16_t offset) const noexcept;

    FlatValue root_{};
    bool converted_ = false; // root_ holds the host's own records, released by the destructor
    std::string texts_;
    std::vector<FlatValue> nodes_;
    std::vector<FlatStructureMember> members_;
    std::vector<FlatValue> chain_;
};

} // namespace kiv::fuzzing
