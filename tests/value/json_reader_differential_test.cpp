// Checks the JSON reader against RapidJSON's own Document on generated documents (same
// numbers, strings and structure), and against its recursive reader on damaged ones (same
// error code and offset).
#include "value/flat_value.h"
#include "value/json_reader.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kiv {
namespace {

// Random JSON texts: nested objects with unique keys, arrays, strings with escapes and
// non-ASCII text, and numbers of every spelling class.
class JsonGenerator {
  public:
    explicit JsonGenerator(unsigned seed) : random_(seed) {}

    std::string document() {
        std::string out;
        value(out, 0);
        return out;
    }

  private:
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

    void value(std::string& out, int depth) {
        switch (below(depth < 5 ? 9 : 6)) {
        case 0:
            out += below(2) ? "true" : "false";
            break;
        case 1:
            out += "null";
            break;
        case 2:
            string(out);
            break;
        case 3:
            integer(out);
            break;
        case 4:
            real(out);
            break;
        case 5:
            out += std::to_string(std::uniform_int_distribution<std::int64_t>()(random_));
            break;
        case 6:
        case 7:
            array(out, depth);
            break;
        default:
            object(out, depth);
        }
    }

    void integer(std::string& out) {
        static const char* const kEdges[] = {"0",
                                             "-0",
                                             "4294967295",
                                             "4294967296",
                                             "-2147483648",
                                             "-2147483649",
                                             "18446744073709551615",
                                             "18446744073709551616",
                                             "-9223372036854775808",
                                             "-9223372036854775809",
                                             "123456789012345678901234567890"};
        if (below(3) == 0) {
            out += kEdges[below(std::size(kEdges))];
        } else {
            out += std::to_string(std::uniform_int_distribution<std::uint64_t>()(random_) >> below(64));
        }
    }

    void real(std::string& out) {
        static const char* const kForms[] = {"1.5",
                                             "-0.0",
                                             "1e2",
                                             "1E-2",
                                             "2.5e+10",
                                             "1e308",
                                             "4.9e-324",
                                             "0.1",
                                             "3.141592653589793",
                                             "-1.7976931348623157e308"};
        if (below(2) == 0) {
            out += kForms[below(std::size(kForms))];
            return;
        }
        const double d = std::uniform_real_distribution<double>(-1e6, 1e6)(random_);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, below(2) ? "%.17g" : "%.3e", d);
        out += buffer;
        if (!std::strpbrk(buffer, ".eE")) {
            out += ".0";
        }
    }

    void string(std::string& out) {
        static const char* const kPieces[] = {
            "plain",    " ",       "\\\"",      "\\\\",           "\\/",
            "\\n",      "\\t",     "\\u00e9",   "\\ud83d\\ude00", "\xED\x95\x9C\xEA\xB5\xAD",
            "\xC3\xBC", "\\u0041", "\\b\\f\\r", "\\u0000"};
        out += '"';
        for (std::size_t n = below(6); n > 0; --n) {
            out += kPieces[below(std::size(kPieces))];
        }
        out += '"';
    }

    void array(std::string& out, int depth) {
        out += '[';
        for (std::size_t n = below(6), i = 0; i < n; ++i) {
            if (i) {
                out += below(2) ? "," : " , ";
            }
            value(out, depth + 1);
        }
        out += ']';
    }

    void object(std::string& out, int depth) {
        out += '{';
        for (std::size_t n = below(6), i = 0; i < n; ++i) {
            if (i) {
                out += ',';
            }
            out += "\"k" + std::to_string(i) + (below(2) ? "\\u00e9" : "") + "\":";
            value(out, depth + 1);
        }
        out += '}';
    }

    std::mt19937 random_;
};

std::string_view upToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// Compares a tree with a RapidJSON DOM, walking both with an explicit stack.
void expectSameTree(const Value& ours, const rapidjson::Value& theirs, const std::string& json) {
    std::vector<std::pair<const Value*, const rapidjson::Value*>> pending{{&ours, &theirs}};
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (b->IsNull()) {
            EXPECT_TRUE(a->isEmpty()) << json;
        } else if (b->IsBool()) {
            ASSERT_EQ(a->kind(), ValueKind::Bool) << json;
            EXPECT_EQ(a->getBool(!b->GetBool()), b->GetBool()) << json;
        } else if (b->IsDouble()) {
            ASSERT_EQ(a->kind(), ValueKind::Float) << json;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(a->getFloat(0)),
                      std::bit_cast<std::uint64_t>(b->GetDouble()))
                << json;
        } else if (b->IsNumber()) {
            // Integers: Signed exactly for negative spellings ("-0" too), else Unsigned.
            if (a->kind() == ValueKind::Signed) {
                ASSERT_TRUE(b->IsInt64()) << json;
                EXPECT_EQ(a->getSigned(1), b->GetInt64()) << json;
            } else {
                ASSERT_EQ(a->kind(), ValueKind::Unsigned) << json;
                ASSERT_TRUE(b->IsUint64()) << json;
                EXPECT_EQ(a->getUnsigned(1), b->GetUint64()) << json;
            }
        } else if (b->IsString()) {
            ASSERT_EQ(a->kind(), ValueKind::String) << json;
            EXPECT_EQ(a->getString("?"), upToNul({b->GetString(), b->GetStringLength()})) << json;
        } else if (b->IsArray()) {
            ASSERT_TRUE(a->isCollection()) << json;
            ASSERT_EQ(a->size(), b->Size()) << json;
            for (rapidjson::SizeType i = 0; i < b->Size(); ++i) {
                pending.emplace_back(&(*a)[i], &(*b)[i]);
            }
        } else {
            ASSERT_TRUE(a->isStructure()) << json;
            ASSERT_EQ(a->size(), b->MemberCount()) << json;
            for (const auto& member : b->GetObject()) {
                const Value* mine =
                    a->find(upToNul({member.name.GetString(), member.name.GetStringLength()}));
                ASSERT_NE(mine, nullptr) << json;
                pending.emplace_back(mine, &member.value);
            }
        }
    }
}

TEST(JsonReaderDifferential, GeneratedDocumentsMatchRapidJsonDocument) {
    JsonGenerator generator(20261207);
    for (int i = 0; i < 2000; ++i) {
        const std::string json = generator.document();
        rapidjson::Document document;
        document.Parse(json.c_str());
        ASSERT_FALSE(document.HasParseError()) << json;
        ConversionResult result = parseJson(json);
        ASSERT_TRUE(result.ok()) << result.errorText() << " in " << json;
        expectSameTree(result.value(), document, json);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// The same documents through the flat records of the host boundary and back: the member names
// that repeat across objects (k0 to k5, with and without an accent) share their texts in the
// record set and their pooled records in the tree that is read back.
TEST(JsonReaderDifferential, GeneratedDocumentsCrossFlatRecordsUnchanged) {
    JsonGenerator generator(20261208);
    for (int i = 0; i < 500; ++i) {
        const std::string json = "[" + generator.document() + "," + generator.document() + "]";
        rapidjson::Document document;
        document.Parse(json.c_str());
        ConversionResult parsed = parseJson(json);
        ASSERT_TRUE(parsed.ok()) << parsed.errorText() << " in " << json;
        FlatValue flat{};
        ASSERT_TRUE(valueToFlat(parsed.value(), flat, nullptr)) << json;
        Value back;
        FlatResult failure{};
        const bool read = flatToValue(flat, back, "document", failure);
        releaseFlat(flat);
        ASSERT_TRUE(read) << failure.error << " in " << json;
        expectSameTree(back, document, json);
        if (HasFatalFailure()) {
            return;
        }
    }
}

// The message RapidJSON's default (recursive) reader gives for a text.
std::string recursiveReaderMessage(const std::string& json) {
    rapidjson::Document document;
    document.Parse(json.c_str());
    if (!document.HasParseError()) {
        return "";
    }
    return std::string("Error: ") + rapidjson::GetParseError_En(document.GetParseError()) + " at offset " +
           std::to_string(document.GetErrorOffset()) + ".";
}

TEST(JsonReaderDifferential, DamagedDocumentsFailLikeTheRecursiveReader) {
    JsonGenerator generator(7);
    std::mt19937 random(11);
    static const char kNoise[] = "{}[]\",:\\ -+.eE0u9atfn\x01\xC3";
    int failures = 0;
    for (int i = 0; i < 5000; ++i) {
        std::string json = generator.document();
        for (int edits = 1 + static_cast<int>(random() % 3); edits > 0 && !json.empty(); --edits) {
            const std::size_t at = random() % json.size();
            switch (random() % 3) {
            case 0:
                json.erase(at, 1);
                break;
            case 1:
                json.insert(at, 1, kNoise[random() % (sizeof kNoise - 1)]);
                break;
            default:
                json.resize(at);
            }
        }
        const std::string expected = recursiveReaderMessage(json);
        ConversionResult result = parseJson(json);
        ASSERT_EQ(result.errorText(), expected) << json;
        failures += !expected.empty();
    }
    EXPECT_GT(failures, 1000); // the damage really produced errors of many kinds
}

} // namespace
} // namespace kiv
