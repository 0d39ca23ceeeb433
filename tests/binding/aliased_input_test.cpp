// Targets assigned from their own contents: the input lives inside the native target, so
// whatever the target gives up must stay readable until the whole input has been read.
#include "binding/binding_declaration.h"
#include "binding/native_conversion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace kiv {
namespace {

struct Envelope {
    std::int32_t id = 0;
    Value data;
};

// The generic member comes before the member that is read after it.
struct DataFirst {
    Value data;
    std::int32_t id = 0;
};

struct Wrapper {
    std::vector<Value> items;
    std::map<std::string, Value> named;
};

class AliasedInputTest : public ::testing::Test {
  protected:
    AliasedInputTest() {
        declareStruct<Envelope>(registry, {"Envelope"}, {{"id", &Envelope::id}, {"data", &Envelope::data}});
        declareStruct<DataFirst>(registry, {"DataFirst"},
                                 {{"data", &DataFirst::data}, {"id", &DataFirst::id}});
        declareStruct<Wrapper>(registry, {"Wrapper"},
                               {{"items", &Wrapper::items}, {"named", &Wrapper::named}});
    }

    template <class T> void assign(T& target, const Value& input) {
        ConversionResult result;
        assignNative(result, target, input, "x", registry);
        EXPECT_TRUE(result.ok()) << result.errorText();
    }

    BindingRegistry registry;
};

TEST_F(AliasedInputTest, ObjectMemberFromItsOwnSubtree) {
    Envelope env;
    env.id = 3;
    env.data.member("data").member("x").setString("payload");
    assign(env, env.data);
    EXPECT_EQ(env.id, 3);
    EXPECT_EQ(env.data["x"].getString({}), "payload");
    EXPECT_EQ(env.data.size(), 1u);
}

TEST_F(AliasedInputTest, ObjectFromItsOwnSubtreeOrItself) {
    Value value;
    value.member("a").member("b").element(1).setSigned(7);
    assign(value, value["a"]);
    EXPECT_EQ(value["b"][1].getSigned(0), 7);
    EXPECT_EQ(value.size(), 1u);

    assign(value, value);
    EXPECT_EQ(value["b"][1].getSigned(0), 7);
}

// The structure's later members are read from an input that the generic member gave up.
TEST_F(AliasedInputTest, MembersReadAfterTheObjectThatHeldThem) {
    DataFirst target;
    Value& input = target.data.member("inner");
    input.member("data").member("x").setString("payload");
    input.member("id").setSigned(5);
    assign(target, input);
    EXPECT_EQ(target.data["x"].getString({}), "payload");
    EXPECT_EQ(target.id, 5);
}

// The input is the generic member itself, which the conversion overwrites before it reads
// the later members.
TEST_F(AliasedInputTest, MembersReadAfterTheObjectThatIsTheInput) {
    DataFirst target;
    target.data.member("data").member("x").setString("payload");
    target.data.member("id").setSigned(5);
    assign(target, target.data);
    EXPECT_EQ(target.data["x"].getString({}), "payload");
    EXPECT_EQ(target.id, 5);
}

TEST_F(AliasedInputTest, ContainersFromTheirOwnElements) {
    Wrapper wrapper;
    Value& list = wrapper.items.emplace_back().member("list");
    list.element(0).setString("first");
    list.element(1).member("k").setUnsigned(2);
    assign(wrapper.items, list);
    ASSERT_EQ(wrapper.items.size(), 2u);
    EXPECT_EQ(wrapper.items[0].getString({}), "first");
    EXPECT_EQ(wrapper.items[1]["k"].getUnsigned(0), 2u);

    Value& members = wrapper.named["old"].member("members");
    members.member("a").setBool(true);
    assign(wrapper.named, members);
    ASSERT_EQ(wrapper.named.size(), 1u);
    EXPECT_TRUE(wrapper.named.at("a").getBool(false));

    // Through a structure: its vector member is emptied while the input is still being read.
    wrapper.items.emplace_back().member("items").element(0).setSigned(9);
    assign(wrapper, wrapper.items.back());
    ASSERT_EQ(wrapper.items.size(), 1u);
    EXPECT_EQ(wrapper.items[0].getSigned(0), 9);
}

} // namespace
} // namespace kiv
