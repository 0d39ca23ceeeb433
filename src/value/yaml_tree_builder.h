// Turns libyaml's parse events into a value tree: mappings become Structures (a repeated
// key reuses its member), sequences Collections, scalars are typed by their tag and style,
// and aliases copy the node their anchor names.
#pragma once

#include "format/message_format.h"
#include "value/conversion_result.h"
#include "value/yaml_anchor_table.h"
#include "value/yaml_node_paths.h"

#include <yaml.h>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace kiv {

class YamlTreeBuilder {
  public:
    // Aliases copy whole subtrees, so a chain of anchors that each alias the previous one
    // several times grows exponentially. Every alias is charged for the nodes it copies and
    // for the steps of the path to its anchor; a document may spend this many in total.
    static constexpr std::size_t kAliasNodeLimit = 1'000'000;
    // libyaml's scanner spends time proportional to the flow nesting depth on every token,
    // so deeply nested flow collections would take quadratic time.
    static constexpr std::size_t kMaxFlowDepth = 64;

    explicit YamlTreeBuilder(ConversionResult& result) noexcept : result_(result) {}

    // Applies one event; a failure sets the result's error.
    void handle(const yaml_event_t& event);

  private:
    enum class Step : std::uint8_t { Root, Index, Key };
    static constexpr YamlNodePaths::PathId kNoPath = static_cast<YamlNodePaths::PathId>(-1);

    struct Frame {
        Value* node;
        YamlAnchor* anchor;         // the anchor on this collection, if any
        YamlNodePaths::PathId path; // made when first needed
        Step step;                  // where the collection sits in its parent
        std::size_t index;
        std::string key;
        bool isMapping;
        bool isFlow;
    };

    void startDocument();
    void startCollection(const yaml_event_t& event, bool isMapping);
    void endCollection();
    void scalar(const yaml_event_t& event);
    void alias(const yaml_event_t& event);
    void aliasAsKey(const YamlAnchor& anchor, const yaml_event_t& event);

    bool awaitingKey() const noexcept {
        return !frames_.empty() && frames_.back().isMapping && !hasPendingKey_;
    }
    Value& placeNode();
    YamlNodePaths::PathId pathOfTop();
    YamlNodePaths::PathId pathOfPlacedNode();
    YamlAnchor* defineAnchor(const yaml_char_t* name, const yaml_mark_t& mark);
    const Value& resolveCharged(const YamlAnchor& anchor, const yaml_event_t& event, bool& ok);
    void fail(std::string_view templ, std::initializer_list<FormatArg> args);

    ConversionResult& result_;
    std::vector<Frame> frames_;
    std::string pendingKey_;
    bool hasPendingKey_ = false;
    Step placedStep_ = Step::Root; // where placeNode put the last node
    std::size_t placedIndex_ = 0;
    YamlNodePaths paths_;
    YamlAnchorTable anchors_;
    std::size_t flowDepth_ = 0;
    std::size_t aliasBudget_ = kAliasNodeLimit;
};

} // namespace kiv
