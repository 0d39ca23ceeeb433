// Versions, identities, event names and path patterns: the names by which a plugin and its
// resources are known to the host.
#include "host/api_version.h"
#include "host/event_names.h"
#include "host/plugin_identity.h"

#include "../logging/log_service_fixture.h"
#include "../logging/recording_log_target.h"

#include <gtest/gtest.h>

namespace kiv::test {

namespace {

struct VersionText {
    ApiVersion version;
    const char* text;
};

class ApiVersionText : public ::testing::TestWithParam<VersionText> {};

TEST_P(ApiVersionText, JoinsNumbersPrereleaseAndBuild) {
    EXPECT_EQ(GetParam().version.text(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Versions, ApiVersionText,
                         ::testing::Values(VersionText{{18, 0, 0, "", ""}, "18.0.0"},
                                           VersionText{{18, 2, 11, "beta.1", ""}, "18.2.11-beta.1"},
                                           VersionText{{18, 2, 11, "", "7f3a"}, "18.2.11+7f3a"},
                                           VersionText{{1, 2, 3, "rc", "b5"}, "1.2.3-rc+b5"},
                                           VersionText{{4294967295u, 0, 1, "", ""}, "4294967295.0.1"}));

struct Compatibility {
    ApiVersion plugin;
    ApiVersion core;
    bool compatible;
};

ApiVersion version(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
    return ApiVersion{major, minor, patch, {}, {}};
}

class ApiCompatibility : public ::testing::TestWithParam<Compatibility> {};

TEST_P(ApiCompatibility, SameMajorAndNoOlderMinorAndPatch) {
    EXPECT_EQ(isCompatible(GetParam().plugin, GetParam().core), GetParam().compatible);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ApiCompatibility,
    ::testing::Values(Compatibility{version(18, 0, 0), version(18, 0, 0), true},
                      Compatibility{version(18, 0, 0), version(18, 3, 0), true},
                      Compatibility{version(18, 0, 0), version(18, 0, 7), true},
                      Compatibility{version(18, 0, 0), version(17, 9, 9), false},
                      Compatibility{version(18, 0, 0), version(19, 0, 0), false},
                      Compatibility{version(18, 2, 5), version(18, 2, 4), false},
                      Compatibility{version(18, 2, 5), version(18, 1, 9), false},
                      Compatibility{version(18, 2, 5), version(18, 3, 0), true},
                      Compatibility{version(18, 2, 5), version(18, 2, 5), true},
                      // Compared as unsigned numbers: a huge minor is newer, not negative.
                      Compatibility{version(18, 0, 0), version(18, 0xFFFFFFFFu, 0), true},
                      Compatibility{version(0xFFFFFFFFu, 0, 0), version(0x7FFFFFFFu, 0, 0), false}));

TEST(PluginApiVersion, IsEighteen) {
    EXPECT_EQ(pluginApiVersion().text(), "18.0.0");
}

struct IdentityCase {
    const char* typeName;
    const char* fullName;
    bool logsUnknownType;
};

class PluginIdentityNames : public LogServiceFixture, public ::testing::WithParamInterface<IdentityCase> {};

TEST_P(PluginIdentityNames, PrefixFollowsTheExactTypeName) {
    detachBuiltInTargets();
    RecordingLogTarget log;
    log.applySettings({LogLevel::Okay, 0, 0});
    const PluginIdentity identity =
        GetFullNameFromShortNameAndType("kiv-kr-shutdown-law", PluginType{GetParam().typeName, "q"});
    EXPECT_EQ(identity.fullName, GetParam().fullName);
    EXPECT_EQ(identity.shortName, "kiv-kr-shutdown-law");
    EXPECT_EQ(identity.typeName, GetParam().typeName);
    EXPECT_EQ(identity.typeQualifier, "q");
    std::vector<std::string> expected;
    if (GetParam().logsUnknownType) {
        expected.push_back(std::string("            Plugin Manager| GetFullNameFromShortNameAndType("
                                       "\"kiv-kr-shutdown-law\", \"") +
                           GetParam().typeName + "\") called with an unknown type");
    }
    EXPECT_EQ(log.texts(), expected);
    for (const RecordedLine& line : log.lines()) {
        EXPECT_EQ(line.level, LogLevel::Error);
    }
}

INSTANTIATE_TEST_SUITE_P(Types, PluginIdentityNames,
                         ::testing::Values(IdentityCase{"backend", "ucx-be-kiv-kr-shutdown-law", false},
                                           IdentityCase{"frontend", "ucx-fe-kiv-kr-shutdown-law", false},
                                           IdentityCase{"Backend", "ucx-xx-kiv-kr-shutdown-law", true},
                                           IdentityCase{"", "ucx-xx-kiv-kr-shutdown-law", true}));

TEST(PluginTypes, PredefinedTypesHaveNoQualifier) {
    EXPECT_EQ(backendPluginType().name, "backend");
    EXPECT_EQ(frontendPluginType().name, "frontend");
    EXPECT_TRUE(backendPluginType().qualifier.empty());
    EXPECT_TRUE(frontendPluginType().qualifier.empty());
}

struct EventNameCase {
    const char* path;
    const char* eventName;
};

class EventNames : public ::testing::TestWithParam<EventNameCase> {};

TEST_P(EventNames, KeepUpToThreeSegmentsOrFiveBelowPlatformConfig) {
    EXPECT_EQ(eventNameForPath(GetParam().path), GetParam().eventName);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, EventNames,
    ::testing::Values(
        EventNameCase{"/kiv-login/v1/login-data-packet", "OnJsonApiEvent_kiv-login_v1_login-data-packet"},
        EventNameCase{"/kiv-kr-shutdown-law/v1/queue-status/3",
                      "OnJsonApiEvent_kiv-kr-shutdown-law_v1_queue-status"},
        EventNameCase{"/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable",
                      "OnJsonApiEvent_kiv-platform-config_v1_namespaces_KrShutdownQueueDisableTimeTable"},
        EventNameCase{"/kiv-platform-config/v1/a/b/c/d", "OnJsonApiEvent_kiv-platform-config_v1_a_b_c"},
        // Only the first segment turns on the longer form.
        EventNameCase{"/x/kiv-platform-config/a/b", "OnJsonApiEvent_x_kiv-platform-config_a"},
        EventNameCase{"/", "OnJsonApiEvent"}, EventNameCase{"", "OnJsonApiEvent"},
        EventNameCase{"//kiv-login///v1//", "OnJsonApiEvent_kiv-login_v1"},
        EventNameCase{"kiv-login/v1/x", "OnJsonApiEvent_kiv-login_v1_x"},
        EventNameCase{"/kiv-game-queues/v1/queues/*", "OnJsonApiEvent_kiv-game-queues_v1_queues"}));

struct PatternCase {
    const char* pattern;
    const char* path;
    bool matches;
};

class PathPatterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PathPatterns, StarIsARunWithoutSlash) {
    EXPECT_EQ(pathMatchesPattern(GetParam().pattern, GetParam().path), GetParam().matches)
        << GetParam().pattern << " vs " << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PathPatterns,
    ::testing::Values(PatternCase{"/kiv-game-queues/v1/queues/*", "/kiv-game-queues/v1/queues/7", true},
                      PatternCase{"/kiv-game-queues/v1/queues/*", "/kiv-game-queues/v1/queues/7/x", false},
                      PatternCase{"/kiv-game-queues/v1/queues/*", "/kiv-game-queues/v1/queues/", false},
                      PatternCase{"/a/*", "/a/bcd", true}, PatternCase{"/a/*/c", "/a/b/c", true},
                      PatternCase{"/a/*/c", "/a//c", true}, PatternCase{"/a/*/c", "/a/b/d", false},
                      // Characters after a star in the same segment never match.
                      PatternCase{"/a/*x", "/a/bx", false}, PatternCase{"/a/*", "/a", false},
                      PatternCase{"/a/b", "/a/b", true}, PatternCase{"/a/b", "/a/bc", false},
                      PatternCase{"*", "abc", true}, PatternCase{"*", "", false}, PatternCase{"", "", true},
                      PatternCase{"/*/*", "/x/y", true}));

} // namespace

} // namespace kiv::test
