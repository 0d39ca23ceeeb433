// Flat records to value trees: the flat walk with a sink that makes a tree node of each record.
#include "value/flat_value.h"

#include "value/flat_walk.h"
#include "value/pointer_cache.h"
#include "value/value_tree_ops.h"

#include <optional>

namespace kiv {
namespace {

// The pooled records of the member names met in one conversion, by the address of their text.
// Each cached record keeps a reference of its own: a later member under the same name may
// replace the value that held the only other one, and the record must outlive that.
class KeyCache {
  public:
    KeyCache() = default;
    KeyCache(const KeyCache&) = delete;
    KeyCache& operator=(const KeyCache&) = delete;
    ~KeyCache() {
        cache_.forEach([this](PooledString* record) { pool_->release(record); });
    }

    // The record of the member's name in `pool`, the pool of every structure of the conversion.
    PooledString* keyOf(const FlatStructureMember& member, StringPool& pool) {
        if (!member.key) {
            return PooledString::empty();
        }
        if (PooledString** cached = cache_.find(member.key)) {
            return *cached;
        }
        PooledString* record = pool.intern(std::string_view(member.key));
        pool_ = &pool;
        if (const std::optional<PooledString*> displaced = cache_.store(member.key, record)) {
            pool.release(*displaced);
        }
        return record;
    }

  private:
    PointerCache<PooledString*> cache_;
    StringPool* pool_ = nullptr;
};

// Makes each record the node it names, in place of what the target held.
class TreeSink {
  public:
    using Target = Value*;

    void setEmpty(Value* to) { to->setEmpty(); }
    void setBool(Value* to, bool value) { to->setBool(value); }
    void setSigned(Value* to, std::int64_t value) { to->setSigned(value); }
    void setUnsigned(Value* to, std::uint64_t value) { to->setUnsigned(value); }
    void setFloat(Value* to, double value) { to->setFloat(value); }
    void setString(Value* to, std::string_view text) { to->setString(text); }
    void setBlob(Value* to, std::span<const std::uint8_t> bytes) { to->setBlob(bytes); }

    auto collection(Value* to, std::uint32_t count) {
        to->setEmpty();
        to->makeCollection();
        to->reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ValueTreeOps::appendReserved(*to);
        }
        return [children = to->elements()](std::uint32_t index) { return &children[index]; };
    }

    // Members land in the table in the order they are given; a repeated name reuses its member.
    auto structure(Value* to, std::uint32_t count) {
        to->makeStructure();
        ValueContext& context = *to->context();
        MemberTable& table = ValueTreeOps::structure(*to);
        table.reserve(context, count);
        return [this, &context, &table](const FlatStructureMember& member) {
            return &Value::of(table.findOrInsert(context, keys_.keyOf(member, context.strings())));
        };
    }

  private:
    KeyCache keys_;
};

} // namespace

bool flatToValue(const FlatValue& flat, Value& target, std::string_view targetName, FlatResult& result) {
    TreeSink sink;
    return FlatWalk<TreeSink>(sink, kMaxFlatValues, targetName, result).run(flat, &target);
}

} // namespace kiv
