// Layout of the boundary records as C and C++ see them: both compilers must agree on every
// field, and fields listed in the host's order must tile each record without a gap.
#include "record_field_table.h"

#include <gtest/gtest.h>

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Parameters print as their record's name (RecordSize is a C record in the global namespace).
void PrintTo(const RecordSize& record, std::ostream* out) {
    *out << record.record;
}

namespace kiv {
namespace {

constexpr bool kPointersAre32Bit = sizeof(void*) == 4;

std::span<const RecordField> fieldsSeenByC() {
    std::size_t count = 0;
    const RecordField* fields = recordFieldsSeenByC(&count);
    return {fields, count};
}

std::span<const RecordSize> sizesSeenByC() {
    std::size_t count = 0;
    const RecordSize* sizes = recordSizesSeenByC(&count);
    return {sizes, count};
}

TEST(RecordLayout, CAndCppAgreeOnEveryField) {
    const auto c = fieldsSeenByC();
    ASSERT_EQ(c.size(), KIV_COUNT_OF(kRecordFields));
    for (std::size_t i = 0; i < c.size(); ++i) {
        const RecordField& cpp = kRecordFields[i];
        SCOPED_TRACE(std::string(cpp.record) + "." + cpp.field);
        EXPECT_STREQ(c[i].field, cpp.field);
        EXPECT_EQ(c[i].offset, cpp.offset);
        EXPECT_EQ(c[i].size, cpp.size);
    }
}

TEST(RecordLayout, CAndCppAgreeOnEveryRecordSize) {
    const auto c = sizesSeenByC();
    ASSERT_EQ(c.size(), KIV_COUNT_OF(kRecordSizes));
    for (std::size_t i = 0; i < c.size(); ++i) {
        SCOPED_TRACE(kRecordSizes[i].record);
        EXPECT_STREQ(c[i].record, kRecordSizes[i].record);
        EXPECT_EQ(c[i].size, kRecordSizes[i].size);
    }
}

class RecordTiling : public testing::TestWithParam<RecordSize> {};

// Each field starts where the one before it ends and the last one ends the record: no padding,
// no field wider than the host expects, and the fields sit in the host's order.
TEST_P(RecordTiling, FieldsFollowEachOtherWithoutGaps) {
    const RecordSize& record = GetParam();
    if (!record.tilesOnEveryTarget && !kPointersAre32Bit) {
        GTEST_SKIP() << "natural alignment pads this record outside 32-bit builds";
    }
    std::vector<RecordField> fields;
    for (const RecordField& field : kRecordFields) {
        if (std::string_view(field.record) == record.record) {
            fields.push_back(field);
        }
    }
    ASSERT_FALSE(fields.empty());
    std::size_t end = 0;
    for (const RecordField& field : fields) {
        EXPECT_EQ(field.offset, end) << field.field;
        end = field.offset + field.size;
    }
    EXPECT_EQ(end, record.size);
}

INSTANTIATE_TEST_SUITE_P(BoundaryRecords, RecordTiling, testing::ValuesIn(kRecordSizes),
                         [](const testing::TestParamInfo<RecordSize>& info) { return info.param.record; });

[[gnu::noinline]] std::uint32_t kindAndCount(const FlatValue& value) {
    return value.kind * 100 + value.b;
}

// Flat values sit at odd offsets inside packed member arrays; references to them must be sound
// (the sanitizer build rejects misaligned references).
TEST(RecordLayout, FlatValuesInsidePackedArraysAreReachableByReference) {
    FlatStructureMember members[3] = {};
    for (std::uint32_t i = 0; i < 3; ++i) {
        members[i].value.kind = i + 1;
        members[i].value.b = 7 * i;
        members[i].keyOwned = 1;
    }
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(kindAndCount(members[i].value), (i + 1) * 100 + 7 * i);
    }
    HostResponse response = {};
    response.result.value.kind = KIV_FLAT_SIGNED;
    response.result.value.b = 9;
    EXPECT_EQ(kindAndCount(response.result.value), KIV_FLAT_SIGNED * 100 + 9u);
}

} // namespace
} // namespace kiv
