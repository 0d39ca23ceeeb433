// Byte images of boundary records: values written through the fields must land at the bytes the
// host reads, little-endian, with 64-bit values as low word then high word. The expected offsets
// are the host's, written out here rather than taken from the header.
#include "kiv/plugin_abi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kiv {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bytes that no field write touches keep this value in both images.
constexpr std::uint8_t kUntouched = 0xEE;

struct FieldBytes {
    std::size_t offset;
    std::size_t width;
    std::uint64_t value;
};

template <typename Record> Bytes imageAfter(void (*fill)(Record&)) {
    Record record;
    std::memset(&record, kUntouched, sizeof record);
    fill(record);
    Bytes image(sizeof record);
    std::memcpy(image.data(), &record, sizeof record);
    return image;
}

template <typename Pointer> Pointer at(std::uintptr_t address) {
    return reinterpret_cast<Pointer>(address);
}

TEST(ByteImage, SixtyFourBitFieldsAreLittleEndianAtTheirOffsets) {
    HostResponse response = {};
    response.bodyLength = 0x0102030405060708ull;
    MemoryStatistics statistics = {};
    statistics.freeCount = 0x1112131415161718ull;
    const auto bytesAt = [](const void* record, std::size_t offset) {
        Bytes bytes(8);
        std::memcpy(bytes.data(), static_cast<const std::uint8_t*>(record) + offset, 8);
        return bytes;
    };
    EXPECT_EQ(bytesAt(&response, offsetof(HostResponse, bodyLength)), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(bytesAt(&statistics, offsetof(MemoryStatistics, freeCount)),
              (Bytes{0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11}));
}

#if UINTPTR_MAX == 0xFFFFFFFFu

Bytes littleEndianImage(std::size_t size, const std::vector<FieldBytes>& fields) {
    Bytes image(size, kUntouched);
    for (const FieldBytes& field : fields) {
        for (std::size_t i = 0; i < field.width; ++i) {
            image.at(field.offset + i) = static_cast<std::uint8_t>(field.value >> (8 * i));
        }
    }
    return image;
}

struct ImageCase {
    std::string name;
    std::function<Bytes()> actual;
    std::size_t size;
    std::vector<FieldBytes> fields;
};

template <typename Record>
ImageCase imageCase(std::string name, void (*fill)(Record&), std::vector<FieldBytes> fields) {
    return {std::move(name), [fill] { return imageAfter(fill); }, sizeof(Record), std::move(fields)};
}

std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<ImageCase> imageCases() {
    return {
        imageCase<FlatValue>("FlatValueFloatHalves",
                             [](FlatValue& v) {
                                 v.kind = KIV_FLAT_FLOAT;
                                 v.a = static_cast<std::uint32_t>(bitsOf(-1.25e300));
                                 v.b = static_cast<std::uint32_t>(bitsOf(-1.25e300) >> 32);
                             },
                             {{0, 4, KIV_FLAT_FLOAT}, {4, 8, bitsOf(-1.25e300)}}),
        imageCase<FlatStructureMember[2]>(
            "FlatStructureMemberArray",
            [](FlatStructureMember(&m)[2]) {
                m[0] = {at<const char*>(0xA1A2A3A4), {2, 0xB1B2B3B4, 0xC1C2C3C4}, 1};
                m[1] = {at<const char*>(0xD1D2D3D4), {6, 0xE1E2E3E4, 0x0F1F2F3F}, 0};
            },
            {{0, 4, 0xA1A2A3A4},
             {4, 4, 2},
             {8, 4, 0xB1B2B3B4},
             {12, 4, 0xC1C2C3C4},
             {16, 1, 1},
             {17, 4, 0xD1D2D3D4},
             {21, 4, 6},
             {25, 4, 0xE1E2E3E4},
             {29, 4, 0x0F1F2F3F},
             {33, 1, 0}}),
        imageCase<HostEventRecord>(
            "HostEventRecord",
            [](HostEventRecord& e) {
                e.name = at<const char*>(0x10101010);
                e.payload = {KIV_FLAT_STRING_BORROWED, 0x20202020, 5};
                e.reserved = 0;
                e.userData = at<void*>(0x30303030);
            },
            {{0, 4, 0x10101010}, {4, 4, 5}, {8, 4, 0x20202020}, {12, 4, 5}, {16, 4, 0}, {20, 4, 0x30303030}}),
        imageCase<HostRequest>("HostRequest",
                               [](HostRequest& r) {
                                   r.method = KIV_HTTP_METHOD_CUSTOM;
                                   r.path = at<const char*>(0x02020202);
                                   r.arguments = at<const HostArgument*>(0x03030303);
                                   r.argumentCount = 4;
                                   r.context = at<void*>(0x05050505);
                                   r.headers = at<const HostHeader*>(0x06060606);
                                   r.headerCount = 7;
                                   r.contentType = at<const char*>(0x08080808);
                                   r.body = at<const char*>(0x09090909);
                                   r.bodyLength = 10;
                                   r.userData = 0x0B0B0B0B;
                                   r.customMethod = at<const char*>(0x0C0C0C0C);
                               },
                               {{0, 4, 8},
                                {4, 4, 0x02020202},
                                {8, 4, 0x03030303},
                                {12, 4, 4},
                                {16, 4, 0x05050505},
                                {20, 4, 0x06060606},
                                {24, 4, 7},
                                {28, 4, 0x08080808},
                                {32, 4, 0x09090909},
                                {36, 4, 10},
                                {40, 4, 0x0B0B0B0B},
                                {44, 4, 0x0C0C0C0C}}),
        imageCase<HostResponse>("HostResponse",
                                [](HostResponse& r) {
                                    r.result.value = {KIV_FLAT_UNSIGNED, 0x01010101, 0x02020202};
                                    r.result.error = at<char*>(0x03030303);
                                    r.result.failed = 1;
                                    r.contextFlag = 0x44;
                                    r.contextCode = 3;
                                    r.status = 404;
                                    r.contextText = at<const char*>(0x06060606);
                                    r.headers = at<HostHeader*>(0x07070707);
                                    r.headerCount = 2;
                                    r.readBody = at<BodyReadFn>(0x09090909);
                                    r.releaseBody = at<BodyReleaseFn>(0x0A0A0A0A);
                                    r.bodyLength = 0x00000001FFFFFFFEull;
                                    r.bodyStream = at<void*>(0x0C0C0C0C);
                                    r.release = at<ResponseReleaseFn>(0x0D0D0D0D);
                                },
                                {{0, 4, KIV_FLAT_UNSIGNED},
                                 {4, 4, 0x01010101},
                                 {8, 4, 0x02020202},
                                 {12, 4, 0x03030303},
                                 {16, 1, 1},
                                 {17, 1, 0x44},
                                 {18, 4, 3},
                                 {22, 4, 404},
                                 {26, 4, 0x06060606},
                                 {30, 4, 0x07070707},
                                 {34, 4, 2},
                                 {38, 4, 0x09090909},
                                 {42, 4, 0x0A0A0A0A},
                                 {46, 4, 0xFFFFFFFE},
                                 {50, 4, 1},
                                 {54, 4, 0x0C0C0C0C},
                                 {58, 4, 0x0D0D0D0D}}),
        imageCase<ApiExport>(
            "ApiExport",
            [](ApiExport& e) {
                e = {at<const ExportedFunction*>(0x01010101), 2, at<const ExportedType*>(0x03030303), 4,
                     at<const ExportedEvent*>(0x05050505),    6};
            },
            {{0, 4, 0x01010101}, {4, 4, 2}, {8, 4, 0x03030303}, {12, 4, 4}, {16, 4, 0x05050505}, {20, 4, 6}}),
        imageCase<ExportedFunction>(
            "ExportedFunction",
            [](ExportedFunction& f) {
                f.next = at<const ExportedFunction*>(0x01010101);
                f.reserved = 0;
                f.context = at<void*>(0x03030303);
                f.name = at<const char*>(0x04040404);
                f.namespaceName = at<const char*>(0x05050505);
                f.arguments = at<const ExportedArgument*>(0x06060606);
                f.argumentCount = 7;
                f.result = {KIV_TYPE_KIND_VECTOR, KIV_TYPE_KIND_STRUCT, at<const char*>(0x0A0A0A0A)};
                f.description = at<const char*>(0x0B0B0B0B);
                f.help = at<const char*>(0x0C0C0C0C);
                f.threadSafe = 1;
                f.asyncTypeName = at<const char*>(0x0E0E0E0E);
                f.tags = at<const char* const*>(0x0F0F0F0F);
                f.tagCount = 2;
            },
            {{0, 4, 0x01010101},
             {4, 4, 0},
             {8, 4, 0x03030303},
             {12, 4, 0x04040404},
             {16, 4, 0x05050505},
             {20, 4, 0x06060606},
             {24, 4, 7},
             {28, 4, 15},
             {32, 4, 17},
             {36, 4, 0x0A0A0A0A},
             {40, 4, 0x0B0B0B0B},
             {44, 4, 0x0C0C0C0C},
             {48, 1, 1},
             {49, 4, 0x0E0E0E0E},
             {53, 4, 0x0F0F0F0F},
             {57, 4, 2}}),
        imageCase<ExportedArgument>("ExportedArgument",
                                    [](ExportedArgument& a) {
                                        a = {at<const ExportedArgument*>(0x01010101),
                                             at<const char*>(0x02020202),
                                             at<const char*>(0x03030303),
                                             {KIV_TYPE_KIND_MAP, KIV_TYPE_KIND_ENUM,
                                              at<const char*>(0x06060606)},
                                             1};
                                    },
                                    {{0, 4, 0x01010101},
                                     {4, 4, 0x02020202},
                                     {8, 4, 0x03030303},
                                     {12, 4, 19},
                                     {16, 4, 16},
                                     {20, 4, 0x06060606},
                                     {24, 1, 1}}),
        imageCase<ExportedField>("ExportedField",
                                 [](ExportedField& f) {
                                     f = {at<const ExportedField*>(0x01010101),
                                          at<const char*>(0x02020202),
                                          at<const char*>(0x03030303),
                                          36,
                                          {KIV_TYPE_KIND_INT64, KIV_TYPE_KIND_NONE,
                                           at<const char*>(0x07070707)},
                                          1};
                                 },
                                 {{0, 4, 0x01010101},
                                  {4, 4, 0x02020202},
                                  {8, 4, 0x03030303},
                                  {12, 4, 36},
                                  {16, 4, 8},
                                  {20, 4, 0},
                                  {24, 4, 0x07070707},
                                  {28, 1, 1}}),
        imageCase<ExportedEnumValue>(
            "ExportedEnumValue",
            [](ExportedEnumValue& e) {
                e = {at<const ExportedEnumValue*>(0x01010101), at<const char*>(0x02020202),
                     at<const char*>(0x03030303), -2};
            },
            {{0, 4, 0x01010101}, {4, 4, 0x02020202}, {8, 4, 0x03030303}, {12, 4, 0xFFFFFFFE}}),
        imageCase<ExportedType>("ExportedType",
                                [](ExportedType& t) {
                                    t = {at<const ExportedType*>(0x01010101),
                                         at<const char*>(0x02020202),
                                         at<const char*>(0x03030303),
                                         24,
                                         at<const char*>(0x05050505),
                                         at<const char* const*>(0x06060606),
                                         7,
                                         at<const ExportedField*>(0x08080808),
                                         at<const ExportedEnumValue*>(0x09090909),
                                         10};
                                },
                                {{0, 4, 0x01010101},
                                 {4, 4, 0x02020202},
                                 {8, 4, 0x03030303},
                                 {12, 4, 24},
                                 {16, 4, 0x05050505},
                                 {20, 4, 0x06060606},
                                 {24, 4, 7},
                                 {28, 4, 0x08080808},
                                 {32, 4, 0x09090909},
                                 {36, 4, 10}}),
        imageCase<ExportedEvent>("ExportedEvent",
                                 [](ExportedEvent& e) {
                                     e = {at<const ExportedEvent*>(0x01010101),
                                          at<const char*>(0x02020202),
                                          at<const char*>(0x03030303),
                                          at<const char*>(0x04040404),
                                          at<const char*>(0x05050505),
                                          at<const char* const*>(0x06060606),
                                          7};
                                 },
                                 {{0, 4, 0x01010101},
                                  {4, 4, 0x02020202},
                                  {8, 4, 0x03030303},
                                  {12, 4, 0x04040404},
                                  {16, 4, 0x05050505},
                                  {20, 4, 0x06060606},
                                  {24, 4, 7}}),
        imageCase<HttpFunctionRecord>("HttpFunctionRecord",
                                      [](HttpFunctionRecord& h) {
                                          h.function.next = at<const ExportedFunction*>(0x01010101);
                                          h.function.context = at<void*>(0x03030303);
                                          h.function.tagCount = 2;
                                          h.dispatch = at<HttpDispatchFn>(0x3D3D3D3D);
                                          h.argumentLocations = at<const ArgumentLocationEntry*>(0x41414141);
                                          h.pathTemplate = at<const char*>(0x45454545);
                                          h.method = KIV_HTTP_METHOD_GET;
                                          h.flags = 0;
                                          h.textLists = at<const TextListEntry*>(0x4E4E4E4E);
                                          h.textListCount = 0;
                                          h.customMethod = at<const char*>(0x56565656);
                                      },
                                      {{0, 4, 0x01010101},
                                       {8, 4, 0x03030303},
                                       {57, 4, 2},
                                       {61, 4, 0x3D3D3D3D},
                                       {65, 4, 0x41414141},
                                       {69, 4, 0x45454545},
                                       {73, 4, 2},
                                       {77, 1, 0},
                                       {78, 4, 0x4E4E4E4E},
                                       {82, 4, 0},
                                       {86, 4, 0x56565656}}),
        imageCase<ArgumentLocationEntry[2]>(
            "ArgumentLocationList",
            [](ArgumentLocationEntry(&l)[2]) {
                l[0] = {at<const ArgumentLocationEntry*>(0x08080808), KIV_ARGUMENT_LOCATION_PATH};
                l[1] = {nullptr, KIV_ARGUMENT_LOCATION_BODY};
            },
            {{0, 4, 0x08080808}, {4, 4, 2}, {8, 4, 0}, {12, 4, 5}}),
        imageCase<PluginLoadInfo>("PluginLoadInfo",
                                  [](PluginLoadInfo& l) {
                                      l = {18,
                                           0,
                                           0,
                                           at<PluginCallbacks*>(0x04040404),
                                           at<void*>(0x05050505),
                                           at<const char*>(0x06060606),
                                           at<ApiExport*>(0x07070707)};
                                  },
                                  {{0, 4, 18},
                                   {4, 4, 0},
                                   {8, 4, 0},
                                   {12, 4, 0x04040404},
                                   {16, 4, 0x05050505},
                                   {20, 4, 0x06060606},
                                   {24, 4, 0x07070707}}),
        imageCase<MemoryStatistics>(
            "MemoryStatistics",
            [](MemoryStatistics& s) { s = {0x100000001ull, 2, 0x300000003ull, 4, 0x500000005ull, 6, 0}; },
            {{0, 8, 0x100000001ull},
             {8, 8, 2},
             {16, 8, 0x300000003ull},
             {24, 8, 4},
             {32, 8, 0x500000005ull},
             {40, 8, 6},
             {48, 8, 0}}),
    };
}

void PrintTo(const ImageCase& image, std::ostream* out) {
    *out << image.name;
}

class RecordByteImage : public testing::TestWithParam<ImageCase> {};

TEST_P(RecordByteImage, FieldsLandAtTheHostsOffsets) {
    const ImageCase& image = GetParam();
    EXPECT_EQ(image.actual(), littleEndianImage(image.size, image.fields));
}

INSTANTIATE_TEST_SUITE_P(BoundaryRecords, RecordByteImage, testing::ValuesIn(imageCases()),
                         [](const testing::TestParamInfo<ImageCase>& info) { return info.param.name; });

#endif

} // namespace
} // namespace kiv
