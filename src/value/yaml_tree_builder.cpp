#include "value/yaml_tree_builder.h"

#include "value/yaml_scalar.h"

#include <string_view>

namespace kiv {
namespace {

constexpr std::string_view kMultiDocument = "Multi-document YAML is not supported.";
constexpr std::string_view kUnexpectedMapping = "Unexpected start of mapping. At line: %1 col: %2";
constexpr std::string_view kUnexpectedSequence = "Unexpected start of sequence. At line: %1 col: %2";
constexpr std::string_view kInvalidKey =
    "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
constexpr std::string_view kDuplicateAnchor = "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
constexpr std::string_view kCyclicAlias =
    "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr std::string_view kUndefinedAlias = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr std::string_view kAliasesTooLarge =
    "Aliases expand the document beyond %1 nodes. Alias \"%2\". At line: %3 col: %4";
constexpr std::string_view kFlowTooDeep =
    "Flow collections nested deeper than %1 levels are not supported. At line: %2 col: %3";

std::string_view textOf(const yaml_char_t* text) noexcept {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Lines and columns in messages count from 1; libyaml's marks count from 0.
std::size_t lineOf(const yaml_event_t& event) noexcept {
    return event.start_mark.line + 1;
}
std::size_t columnOf(const yaml_event_t& event) noexcept {
    return event.start_mark.column + 1;
}

// The number of nodes in the subtree at `root`, counting stops once it passes `limit`.
std::size_t countNodesUpTo(const Value& root, std::size_t limit) {
    std::vector<const Value*> pending{&root};
    std::size_t count = 0;
    while (!pending.empty() && count <= limit) {
        const Value& node = *pending.back();
        pending.pop_back();
        ++count;
        if (node.isCollection()) {
            for (const Value& element : node.elements()) {
                pending.push_back(&element);
            }
        } else if (node.isStructure()) {
            for (const ValueMember member : node.members()) {
                pending.push_back(&member.value);
            }
        }
    }
    return count;
}

} // namespace

void YamlTreeBuilder::handle(const yaml_event_t& event) {
    switch (event.type) {
    case YAML_DOCUMENT_START_EVENT:
        return startDocument();
    case YAML_MAPPING_START_EVENT:
        return startCollection(event, true);
    case YAML_SEQUENCE_START_EVENT:
        return startCollection(event, false);
    case YAML_MAPPING_END_EVENT:
        return endCollection(true);
    case YAML_SEQUENCE_END_EVENT:
        return endCollection(false);
    case YAML_SCALAR_EVENT:
        return scalar(event);
    case YAML_ALIAS_EVENT:
        return alias(event);
    default: // stream start and end, document end
        return;
    }
}

void YamlTreeBuilder::startDocument() {
    if (!result_.value().isEmpty()) {
        fail(kMultiDocument, {});
    }
}

void YamlTreeBuilder::startCollection(const yaml_event_t& event, bool isMapping) {
    if (tree_.awaitingKey()) {
        fail(isMapping ? kUnexpectedMapping : kUnexpectedSequence, {lineOf(event), columnOf(event)});
        return;
    }
    const bool isFlow = isMapping ? event.data.mapping_start.style == YAML_FLOW_MAPPING_STYLE
                                  : event.data.sequence_start.style == YAML_FLOW_SEQUENCE_STYLE;
    if (isFlow && flowDepth_ == kMaxFlowDepth) {
        fail(kFlowTooDeep, {kMaxFlowDepth, lineOf(event), columnOf(event)});
        return;
    }
    notePlacement();
    Frame frame{nullptr, kNoPath, placedSlot_, placedIndex_, {}, isFlow};
    if (placedSlot_ == TreeSlot::Root) {
        frame.path = YamlNodePaths::kRoot;
    } else if (placedSlot_ == TreeSlot::Member) {
        frame.key = pendingKey_;
    }
    if (const yaml_char_t* name =
            isMapping ? event.data.mapping_start.anchor : event.data.sequence_start.anchor) {
        YamlAnchor* anchor = defineAnchor(name, event.start_mark);
        if (!anchor) {
            return;
        }
        anchor->path = frame.path = pathOfPlacedNode();
        anchor->open = true;
        frame.anchor = anchor;
    }
    if (isMapping) {
        tree_.startStructure();
    } else {
        tree_.startCollection();
    }
    frames_.push_back(std::move(frame));
    flowDepth_ += isFlow;
}

void YamlTreeBuilder::endCollection(bool isMapping) {
    KIV_ASSERT(frames_.size() == tree_.depth(), "the parser ends only collections it started");
    const Frame& top = frames_.back();
    if (top.anchor) {
        top.anchor->open = false;
    }
    flowDepth_ -= top.isFlow;
    frames_.pop_back();
    if (isMapping) {
        tree_.endStructure();
    } else {
        tree_.endCollection();
    }
}

void YamlTreeBuilder::scalar(const yaml_event_t& event) {
    const auto& data = event.data.scalar;
    const std::string_view text(reinterpret_cast<const char*>(data.value), data.length);
    const std::string_view tag = textOf(data.tag);
    if (tree_.awaitingKey()) {
        if (!tag.empty() && tag != kYamlStringTag) {
            fail(kInvalidKey, {lineOf(event), columnOf(event)});
            return;
        }
        pendingKey_.assign(text);
        tree_.key(pendingKey_);
        if (data.anchor) {
            YamlAnchor* anchor = defineAnchor(data.anchor, event.start_mark);
            if (!anchor) {
                return;
            }
            anchor->isKey = true;
            anchor->keyText = pendingKey_;
        }
        return;
    }
    Value& target = placeNode();
    if (data.anchor) {
        YamlAnchor* anchor = defineAnchor(data.anchor, event.start_mark);
        if (!anchor) {
            return;
        }
        anchor->path = pathOfPlacedNode();
    }
    const bool quoted =
        data.style == YAML_SINGLE_QUOTED_SCALAR_STYLE || data.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
    if (auto error = assignYamlScalar(target, {text, tag, quoted})) {
        result_.setError(*error);
    }
}

void YamlTreeBuilder::alias(const yaml_event_t& event) {
    const std::string_view name = textOf(event.data.alias.anchor);
    const YamlAnchor* anchor = anchors_.find(name);
    if (anchor && anchor->open) {
        fail(kCyclicAlias, {name, lineOf(event), columnOf(event)});
        return;
    }
    if (!anchor) {
        fail(kUndefinedAlias, {name, lineOf(event), columnOf(event)});
        return;
    }
    if (tree_.awaitingKey()) {
        aliasAsKey(*anchor, event);
        return;
    }
    Value& target = placeNode();
    if (anchor->isKey) {
        target.setString(anchor->keyText);
        return;
    }
    bool ok = false;
    const Value& source = resolveCharged(*anchor, event, ok);
    if (ok) {
        target = source;
    }
}

// An alias in key position supplies the key: the text of a key anchor, or of an anchored
// string. Placing it like a value would overwrite the mapping being read.
void YamlTreeBuilder::aliasAsKey(const YamlAnchor& anchor, const yaml_event_t& event) {
    if (anchor.isKey) {
        pendingKey_ = anchor.keyText;
    } else {
        bool ok = false;
        const Value& source = resolveCharged(anchor, event, ok);
        if (!ok) {
            return;
        }
        if (source.kind() != ValueKind::String) {
            fail(kInvalidKey, {lineOf(event), columnOf(event)});
            return;
        }
        pendingKey_ = source.getString({});
    }
    tree_.key(pendingKey_);
}

// The anchored node, after charging the alias budget for the path to it and its size.
const Value& YamlTreeBuilder::resolveCharged(const YamlAnchor& anchor, const yaml_event_t& event, bool& ok) {
    std::size_t steps = 0;
    const Value& source = paths_.resolve(result_.value(), anchor.path, steps);
    ok = steps < aliasBudget_;
    if (ok) {
        const std::size_t left = aliasBudget_ - steps;
        const std::size_t nodes = countNodesUpTo(source, left);
        ok = nodes <= left;
        aliasBudget_ = left - nodes;
    }
    if (!ok) {
        fail(kAliasesTooLarge,
             {kAliasNodeLimit, textOf(event.data.alias.anchor), lineOf(event), columnOf(event)});
    }
    return source;
}

// Records where the next node goes, for the path of an anchor on it: sequences are
// continued under a repeated key, so a new element's index is the sequence's size.
void YamlTreeBuilder::notePlacement() {
    placedSlot_ = tree_.nextSlot();
    if (placedSlot_ == TreeSlot::Element) {
        placedIndex_ = tree_.innermost().size();
    }
}

Value& YamlTreeBuilder::placeNode() {
    notePlacement();
    return tree_.place();
}

// Paths of open collections are made only when an anchor below them needs one; the
// outermost collection always has the root path.
YamlNodePaths::PathId YamlTreeBuilder::pathOfTop() {
    KIV_ASSERT(!frames_.empty() && frames_.front().path == YamlNodePaths::kRoot,
               "the outermost open collection is the root");
    std::size_t known = frames_.size() - 1;
    while (frames_[known].path == kNoPath) {
        --known;
    }
    for (std::size_t i = known + 1; i < frames_.size(); ++i) {
        Frame& frame = frames_[i];
        const YamlNodePaths::PathId parent = frames_[i - 1].path;
        frame.path = frame.slot == TreeSlot::Element ? paths_.addIndex(parent, frame.index)
                                                     : paths_.addKey(parent, frame.key);
    }
    return frames_.back().path;
}

YamlNodePaths::PathId YamlTreeBuilder::pathOfPlacedNode() {
    switch (placedSlot_) {
    case TreeSlot::Element:
        return paths_.addIndex(pathOfTop(), placedIndex_);
    case TreeSlot::Member:
        return paths_.addKey(pathOfTop(), pendingKey_);
    case TreeSlot::Root:
        break;
    }
    return YamlNodePaths::kRoot;
}

YamlAnchor* YamlTreeBuilder::defineAnchor(const yaml_char_t* name, const yaml_mark_t& mark) {
    YamlAnchor* anchor = anchors_.define(textOf(name));
    if (!anchor) {
        fail(kDuplicateAnchor, {textOf(name), mark.line + 1, mark.column + 1});
    }
    return anchor;
}

void YamlTreeBuilder::fail(std::string_view templ, std::initializer_list<FormatArg> args) {
    result_.setError(formatMessage(templ, args));
}

} // namespace kiv
