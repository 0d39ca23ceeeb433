#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"
#include "value_builders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kiv::structure_conversion_test {
namespace {

using namespace kiv::test;

enum class Level : std::int32_t { Low = 1, High = 2 };

struct Inner {
    std::int32_t count = 0;
    std::string label;
};

struct Outer {
    Level level = Level::Low;
    std::int64_t minutes = 0;
    std::vector<std::string> names;
    Inner inner;
    std::vector<Inner> inners;
    Value data;
    std::map<std::string, std::int32_t> counts;
};

struct Nothing {
    std::int32_t unused = 0;
};

struct Sparse {
    std::int32_t zero = 0;
    bool flag = false;
    double real = 0.0;
    std::string text;
    std::vector<std::int32_t> list;
    Nothing nothing;
    Value object;
    Level level{};
    std::int32_t kept = 0;
};

struct Unregistered {
    std::int32_t a = 0;
};

class StructureConversionTest : public ::testing::Test {
  protected:
    StructureConversionTest() {
        declareEnum<Level>(registry, {"Level"}, {{"Low", Level::Low}, {"High", Level::High}});
        declareStruct<Inner>(
            registry, {"Inner"},
            {{"count", &Inner::count, "", BindingFieldFlags::Required}, {"label", &Inner::label}});
        declareStruct<Outer>(registry, {"Outer"},
                             {{"level", &Outer::level},
                              {"minutes", &Outer::minutes},
                              {"names", &Outer::names},
                              {"inner", &Outer::inner},
                              {"inners", &Outer::inners},
                              {"data", &Outer::data},
                              {"counts", &Outer::counts}});
        declareStruct<Nothing>(registry, {"Nothing"}, {});
        constexpr auto omit = BindingFieldFlags::OmitWhenEmpty;
        declareStruct<Sparse>(registry, {"Sparse"},
                              {{"zero", &Sparse::zero, "", omit},
                               {"flag", &Sparse::flag, "", omit},
                               {"real", &Sparse::real, "", omit},
                               {"text", &Sparse::text, "", omit},
                               {"list", &Sparse::list, "", omit},
                               {"nothing", &Sparse::nothing, "", omit},
                               {"object", &Sparse::object, "", omit},
                               {"level", &Sparse::level, "", omit},
                               {"kept", &Sparse::kept}});
    }

    template <class T> std::string assign(T& target, const Value& input) {
        ConversionResult result;
        assignNative(result, target, input, "x", registry);
        EXPECT_EQ(result.ok(), result.errorText().empty());
        return std::string(result.errorText());
    }

    template <class T> ConversionResult convert(const T& source) {
        ConversionResult result;
        convertNative(result, source, registry);
        return result;
    }

    BindingRegistry registry;
};

TEST_F(StructureConversionTest, AssignFillsEveryMemberFromAStructure) {
    const Value input = structureOf({
        {"level", stringValue("High")},
        {"minutes", stringValue("90")},
        {"names", collectionOf({stringValue("a"), stringValue("b")})},
        {"inner", structureOf({{"count", signedValue(3)}, {"label", stringValue("l")}})},
        {"inners",
         collectionOf({structureOf({{"count", signedValue(1)}}), structureOf({{"count", signedValue(2)}})})},
        {"data", collectionOf({signedValue(5)})},
        {"counts", structureOf({{"b", signedValue(2)}, {"a", stringValue("1")}})},
        {"ignored", signedValue(1)},
    });
    Outer outer;
    ASSERT_EQ(assign(outer, input), "");
    EXPECT_EQ(outer.level, Level::High);
    EXPECT_EQ(outer.minutes, 90);
    EXPECT_EQ(outer.names, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(outer.inner.count, 3);
    EXPECT_EQ(outer.inner.label, "l");
    ASSERT_EQ(outer.inners.size(), 2u);
    EXPECT_EQ(outer.inners[1].count, 2);
    EXPECT_EQ(outer.data[0].getSigned(0), 5);
    EXPECT_EQ(outer.counts, (std::map<std::string, std::int32_t>{{"a", 1}, {"b", 2}}));
}

TEST_F(StructureConversionTest, MissingAndEmptyMembersLeaveTheNativeMemberUnchanged) {
    Outer outer;
    outer.minutes = 42;
    outer.inner.label = "kept";
    ASSERT_EQ(assign(outer, structureOf(
                                {{"minutes", Value()}, {"inner", structureOf({{"count", signedValue(1)}})}})),
              "");
    EXPECT_EQ(outer.minutes, 42);
    EXPECT_EQ(outer.inner.count, 1);
    EXPECT_EQ(outer.inner.label, "kept");
}

TEST_F(StructureConversionTest, StructureInputErrors) {
    struct Case {
        const char* label;
        Value input;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"empty input", Value(), "A value for 'x' is required."},
        {"not a structure", collectionOf({}),
         "Couldn't assign value to 'x' of type Inner because the input not a structure."},
        {"required member empty", structureOf({{"count", Value()}, {"label", stringValue("l")}}),
         "Couldn't assign value to 'x' of type Inner because the input structure doesn't have required field "
         "'count'."},
        {"required member missing", structureOf({{"label", stringValue("l")}}),
         "Couldn't assign value to 'x' of type Inner because the input structure doesn't have required field "
         "'count'."},
        {"member of the wrong kind", structureOf({{"count", boolValue(true)}}),
         "Couldn't assign value to 'count' of type int32 because the input is of an invalid type bool."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Inner inner;
        EXPECT_EQ(assign(inner, c.input), c.message);
    }

    Unregistered unregistered;
    EXPECT_EQ(assign(unregistered, structureOf({{"a", signedValue(1)}})),
              "Couldn't assign value to 'x' because the input is an unregistered structure or not a "
              "structure at all.");
}

TEST_F(StructureConversionTest, TheFirstErrorInDeclarationOrderWinsAndNamesTheInnermostTarget) {
    Outer outer;
    const Value input = structureOf({
        {"level", stringValue("Middle")},
        {"minutes", stringValue("x")},
        {"inners", collectionOf({structureOf({{"count", signedValue(1)}}), structureOf({})})},
    });
    EXPECT_EQ(assign(outer, input), "Middle is not a valid Level enumeration value for 'level'.");

    const Value nested = structureOf({
        {"inners", collectionOf({structureOf({{"count", signedValue(1)}}), structureOf({})})},
        {"data", stringValue("later fields are not reached")},
    });
    EXPECT_EQ(assign(outer, nested),
              "Couldn't assign value to 'inners' of type Inner because the input structure "
              "doesn't have required field 'count'.");
}

TEST_F(StructureConversionTest, Vectors) {
    std::vector<std::int32_t> numbers = {7, 7, 7, 7};
    EXPECT_EQ(assign(numbers, collectionOf({signedValue(1), Value(), signedValue(3)})), "");
    EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 0, 3}));

    EXPECT_EQ(assign(numbers, structureOf({})),
              "Couldn't assign value to 'x' of type vector because the input not a collection.");
    EXPECT_TRUE(numbers.empty());

    // Elements carry the vector's own name; later elements are not reached.
    numbers = {7};
    EXPECT_EQ(assign(numbers, collectionOf({signedValue(1), stringValue("a"), boolValue(true)})),
              "Value a for 'x' of type int32 is in an incorrect format");

    ConversionResult failed;
    failed.setError("earlier");
    numbers = {7};
    assignNative(failed, numbers, collectionOf({signedValue(1)}), "x", registry);
    EXPECT_TRUE(numbers.empty());
    EXPECT_EQ(failed.errorText(), "earlier");
}

TEST_F(StructureConversionTest, Maps) {
    std::map<std::string, Inner> map = {{"old", Inner{}}};
    EXPECT_EQ(assign(map, structureOf({{"k", structureOf({{"count", signedValue(4)}})}, {"e", Value()}})),
              "");
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.at("k").count, 4);
    EXPECT_EQ(map.at("e").count, 0);

    EXPECT_EQ(assign(map, collectionOf({})),
              "Couldn't assign value to 'x' of type map because the input not a structure.");
    EXPECT_TRUE(map.empty());

    const std::map<std::string, std::int32_t> counts = {{"b", 2}, {"a", 1}};
    const ConversionResult result = convert(counts);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(result.value().size(), 2u);
    EXPECT_EQ(result.value()["a"].getSigned(0), 1);
    EXPECT_EQ(result.value()["b"].getSigned(0), 2);
}

TEST_F(StructureConversionTest, ObjectsAreClearedThenCopied) {
    Value object = stringValue("previous");
    EXPECT_EQ(assign(object, Value()), "");
    EXPECT_TRUE(object.isEmpty());

    const Value input = structureOf({{"a", collectionOf({signedValue(1)})}});
    EXPECT_EQ(assign(object, input), "");
    EXPECT_EQ(object["a"][0].getSigned(0), 1);
    EXPECT_NE(object.context(), input.context());

    ConversionResult failed;
    failed.setError("earlier");
    assignNative(failed, object, input, "x", registry);
    EXPECT_TRUE(object.isEmpty());
}

TEST_F(StructureConversionTest, ConvertWritesMembersInKeyOrder) {
    Outer outer;
    outer.level = Level::High;
    outer.minutes = -3;
    outer.names = {"n"};
    outer.inner = {5, "five"};
    outer.inners = {{1, "one"}};
    outer.data.member("z").setBool(true);
    outer.counts = {{"k", 9}};

    const ConversionResult result = convert(outer);
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& value = result.value();
    std::vector<std::string> keys;
    for (const ValueMember member : value.members()) {
        keys.emplace_back(member.key);
    }
    EXPECT_EQ(keys,
              (std::vector<std::string>{"counts", "data", "inner", "inners", "level", "minutes", "names"}));
    EXPECT_EQ(value["level"].getEnum({}).value, 2);
    EXPECT_EQ(value["minutes"].getSigned(0), -3);
    EXPECT_EQ(value["names"][0].getString({}), "n");
    EXPECT_EQ(value["inner"]["label"].getString({}), "five");
    EXPECT_EQ(value["inners"][0]["count"].getSigned(0), 1);
    EXPECT_TRUE(value["data"]["z"].getBool(false));
    EXPECT_EQ(value["counts"]["k"].getSigned(0), 9);
}

TEST_F(StructureConversionTest, OmitWhenEmptyLeavesOutEmptyFalseAndZeroMembers) {
    const ConversionResult empty = convert(Sparse{});
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty.value().size(), 1u);
    EXPECT_EQ(empty.value()["kept"].getSigned(-1), 0);

    Sparse full;
    full.zero = 1;
    full.flag = true;
    full.real = 0.5;
    full.text = "t";
    full.list = {0};
    full.object.setSigned(3);
    full.level = Level::Low;
    const ConversionResult filled = convert(full);
    ASSERT_TRUE(filled.ok());
    EXPECT_EQ(filled.value().size(), 8u); // all but the field-less structure
    EXPECT_EQ(filled.value()["list"].size(), 1u);
    EXPECT_EQ(filled.value().find("nothing"), nullptr);
}

TEST_F(StructureConversionTest, ConvertingAnUnregisteredStructureFails) {
    const ConversionResult result = convert(Unregistered{});
    EXPECT_EQ(result.errorText(), "Couldn't convert native value because it's an unregistered structure.");

    struct Holder {
        std::vector<Unregistered> items;
        std::int32_t after = 0;
    };
    declareStruct<Holder>(registry, {"Holder"}, {{"items", &Holder::items}, {"after", &Holder::after}});
    Holder holder;
    holder.items.resize(2);
    const ConversionResult nested = convert(holder);
    EXPECT_EQ(nested.errorText(), "Couldn't convert native value because it's an unregistered structure.");
}

} // namespace
} // namespace kiv::structure_conversion_test
