// Turns libyaml's parse events into a value tree: mappings become Structures, sequences
// Collections, scalars are typed by their tag and style, and aliases copy the node their
// anchor names. Where each node goes, and what a repeated key does, is the tree builder's
// business; this class adds what only YAML has: tags, anchors and the paths to them.
#pragma once

#include "format/message_format.h"
#include "value/conversion_result.h"
#include "value/value_tree_builder.h"
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

    explicit YamlTreeBuilder(ConversionResult& result) : result_(result), tree_(result.value()) {}

    // Applies one event; a failure sets the result's error.
    void handle(const yaml_event_t& event);

  private:
    static constexpr YamlNodePaths::PathId kNoPath = static_cast<YamlNodePaths::PathId>(-1);

    // What the reader keeps beside each collection that the tree builder has open.
    struct Frame {
        YamlAnchor* anchor;         // the anchor on this collection, if any
        YamlNodePaths::PathId path; // made when first needed
        TreeSlot slot;              // where the collection sits in its parent
        std::size_t index;
        std::string key;
        bool isFlow;
    };

    void startDocument();
    void startCollection(const yaml_event_t& event, bool isMapping);
    void endCollection(bool isMapping);
    void scalar(const yaml_event_t& event);
    void alias(const yaml_event_t& event);
    void aliasAsKey(const YamlAnchor& anchor, const yaml_event_t& event);

    void notePlacement();
    Value& placeNode();
    YamlNodePaths::PathId pathOfTop();
    YamlNodePaths::PathId pathOfPlacedNode();
    [[nodiscard]] YamlAnchor* defineAnchor(const yaml_char_t* name, const yaml_mark_t& mark);
    [[nodiscard]] const Value& resolveCharged(const YamlAnchor& anchor, const yaml_event_t& event, bool& ok);
    void fail(std::string_view templ, std::initializer_list<FormatArg> args);

    ConversionResult& result_;
    ValueTreeBuilder tree_;
    std::vector<Frame> frames_;
    std::string pendingKey_;               // the text of the last key, for paths
    TreeSlot placedSlot_ = TreeSlot::Root; // where the last node went
    std::size_t placedIndex_ = 0;
    YamlNodePaths paths_;
    YamlAnchorTable anchors_;
    std::size_t flowDepth_ = 0;
    std::size_t aliasBudget_ = kAliasNodeLimit;
};

} // namespace kiv
