// Tables of edge cases for the host's small rules: route templates, event names of paths, core
// versions, and the JSON text of values and texts.
#include "fake_host.h"

#include "kivhost/core/event_names.h"
#include "kivhost/core/json_text.h"
#include "kivhost/core/path_template.h"

#include <cmath>
#include <limits>

namespace kiv::test {
namespace {

TEST(PathTemplateTest, MatchesAsThePlatformRoutes) {
    const struct {
        const char* pattern;
        const char* path;
        bool matches;
    } cases[] = {
        {"/a/v1/status", "/a/v1/status", true},
        {"/a/v1/status", "/a/v1/status/", false},
        {"/a/v1/status", "/a/v1/status?x=1", false},
        {"/q/{id}", "/q/450", true},
        {"/q/{id}", "/q/", true},
        {"/q/{id}", "/q/4/5", false},
        {"/q/{id}", "/q", false},
        {"/q/{id}/b", "/q/x%2Fy/b", true},
        {"/q/{id}/b", "/q/x/y/b", false},
        {"/f/{+path}", "/f/a/b/c", true},
        {"/f/{+path}", "/f/", true},
        {"/f/{#frag}", "/f/#a/b", true},
        {"/f/{#frag}", "/f/a", false},
        {"/{a}-{b}", "/x-y-z", true},
        {"/{a}-{b}", "/xyz", false},
        {"/open/{id", "/open/", true}, // a parameter never closed stands for nothing
        {"/open/{id", "/open/x", false},
        {"", "", true},
        {"", "/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kivhost::PathTemplate(c.pattern).matches(c.path), c.matches) << c.pattern << " " << c.path;
    }
    EXPECT_TRUE(kivhost::PathTemplate("/a/b").isLiteral());
    EXPECT_FALSE(kivhost::PathTemplate("/a/{b}").isLiteral());
}

TEST(PathTemplateTest, LongPathsMatchWithoutBacktracking) {
    const std::string path = "/r/" + std::string(200000, 'x') + "/y";
    EXPECT_TRUE(kivhost::PathTemplate("/r/{a}{b}{c}/{+d}").matches(path));
    EXPECT_FALSE(kivhost::PathTemplate("/r/{a}{b}{c}/z").matches(path));
}

TEST(EventNameTest, PathsGiveTheirEventNames) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"/kiv-login/v1/login-data-packet", "OnJsonApiEvent_kiv-login_v1_login-data-packet"},
        {"/kiv-kr-shutdown-law/v1/queue-status/3", "OnJsonApiEvent_kiv-kr-shutdown-law_v1_queue-status"},
        {"/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable",
         "OnJsonApiEvent_kiv-platform-config_v1_namespaces_KrShutdownQueueDisableTimeTable"},
        {"/kiv-platform-config/v1/namespaces/a/b/c", "OnJsonApiEvent_kiv-platform-config_v1_namespaces_a_b"},
        {"/", "OnJsonApiEvent"},
        {"", "OnJsonApiEvent"},
        {"//a///b/", "OnJsonApiEvent_a_b"},
        {"a/b", "OnJsonApiEvent_a_b"},
        {"/x/kiv-platform-config/a/b/c", "OnJsonApiEvent_x_kiv-platform-config_a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kivhost::eventNameForPath(c.path), c.name) << c.path;
    }
}

TEST(CoreVersionTest, OnlyThreeDecimalNumbersWithinThirtyTwoBitsParse) {
    const struct {
        const char* text;
        std::optional<kivhost::CoreVersion> version;
    } cases[] = {
        {"18.0.0", kivhost::CoreVersion{18, 0, 0}},
        {"18.3.07", kivhost::CoreVersion{18, 3, 7}},
        {"4294967295.0.1", kivhost::CoreVersion{4294967295u, 0, 1}},
        {"4294967296.0.0", std::nullopt},
        {"18.0", std::nullopt},
        {"18.0.0.0", std::nullopt},
        {"18..0", std::nullopt},
        {" 18.0.0", std::nullopt},
        {"18.0.0 ", std::nullopt},
        {"+18.0.0", std::nullopt},
        {"-1.0.0", std::nullopt},
        {"18.0.x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<kivhost::CoreVersion> parsed = kivhost::CoreVersion::parse(c.text);
        EXPECT_EQ(parsed, c.version) << c.text;
    }
    EXPECT_EQ(kivhost::CoreVersion({18, 3, 7}).text(), "18.3.7");
}

TEST(CoreVersionTest, ACoreAcceptsPluginsOfItsMajorUpToItsOwnMinorAndPatch) {
    const kivhost::CoreVersion core{18, 3, 2};
    EXPECT_TRUE(core.accepts({18, 0, 0}));
    EXPECT_TRUE(core.accepts({18, 2, 9}));
    EXPECT_TRUE(core.accepts({18, 3, 2}));
    EXPECT_FALSE(core.accepts({18, 3, 3}));
    EXPECT_FALSE(core.accepts({18, 4, 0}));
    EXPECT_FALSE(core.accepts({17, 0, 0}));
    EXPECT_FALSE(core.accepts({19, 0, 0}));
}

TEST(JsonTextTest, ValuesAsJson) {
    const struct {
        const char* json;
        const char* written;
    } cases[] = {
        {R"({"b":[1,-2,1.5,true,null],"a":"x"})", R"({"a":"x","b":[1,-2,1.5,true,null]})"},
        {R"("quote \" and \\ and \u0001")", R"("quote \" and \\ and \u0001")"},
        {"18446744073709551615", "18446744073709551615"},
        {"-9223372036854775808", "-9223372036854775808"},
        {"0.1", "0.1"},
        {"[]", "[]"},
        {"{}", "{}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kivhost::toJson(json(c.json)), c.written) << c.json;
    }

    Value special;
    special.member("nan").setFloat(std::nan(""));
    special.member("inf").setFloat(-std::numeric_limits<double>::infinity());
    special.member("blob").setBlob(std::vector<std::uint8_t>{0xFF, 0x00, 0x41});
    special.member("bad").setString("a\xC3(b\xF0\x9F\x98\x80");
    EXPECT_EQ(kivhost::toJson(special),
              "{\"bad\":\"a\xEF\xBF\xBD(b\xF0\x9F\x98\x80\",\"blob\":\"/wBB\",\"inf\":null,\"nan\":null}");
}

TEST(JsonTextTest, DeepTreesAreWrittenWithoutDeepRecursion) {
    Value root;
    Value* node = &root;
    constexpr int kDepth = 200000;
    for (int i = 0; i < kDepth; ++i) {
        node = &node->element(0);
    }
    node->setSigned(1);
    const std::string text = kivhost::toJson(root);
    EXPECT_EQ(text.size(), 2u * kDepth + 1);
    EXPECT_EQ(text.substr(kDepth - 1, 3), "[1]");
}

TEST(JsonTextTest, Base64AndUtf8Repair) {
    const struct {
        std::string bytes;
        const char* encoded;
    } encodings[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}};
    for (const auto& c : encodings) {
        EXPECT_EQ(
            kivhost::base64(std::span(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size())),
            c.encoded);
    }

    const std::string replacement = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        std::string repaired;
    } repairs[] = {
        {"plain", "plain"},
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},
        {"\xC0\x80", replacement + replacement},                                     // overlong
        {"\xED\xA0\x80", replacement + replacement + replacement},                   // a surrogate
        {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement}, // beyond U+10FFFF
        {"\xE2\x82", replacement + replacement},                                     // cut short
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : repairs) {
        EXPECT_EQ(kivhost::repairUtf8(c.text), c.repaired);
    }
}

} // namespace
} // namespace kiv::test
