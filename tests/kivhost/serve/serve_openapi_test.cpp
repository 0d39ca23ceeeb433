// The OpenAPI document `kivhost serve` gives, checked by check_openapi.py: valid OpenAPI 3.1 under
// openapi-spec-validator, and the rules of a linter's recommended set. The document describes the
// plugin's routes and the server's own, every one with the errors it answers.
#include "law_scenario.h"
#include "raw_http.h"
#include "serve_process.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

namespace kiv::test::openapi {
namespace {

TEST(ServeOpenApiTest, TheDocumentIsValidAndPassesTheRecommendedRules) {
    ScenarioFile scenario("openapi.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    RawHttp client(serve.port());
    client.send(rawRequest(serve.port(), "GET", "/kivhost/openapi.json"));
    const RawAnswer document = client.answer().value_or(RawAnswer{});
    ASSERT_EQ(document.status, 200);
    const Value parsedDocument = parsed(document.body);
    EXPECT_EQ(parsedDocument["servers"][0]["url"].getString(""),
              "http://127.0.0.1:" + std::to_string(serve.port()));
    for (const char* path :
         {"/events", "/kivhost/state", "/kivhost/resources/{path}", "/kivhost/reset", "/"}) {
        EXPECT_NE(parsedDocument["paths"].find(path), nullptr) << path;
    }

    const std::string file = testing::TempDir() + "kivhost-openapi.json";
    std::ofstream(file) << document.body;
    const std::string report = testing::TempDir() + "kivhost-openapi-check.txt";
    const int status =
        std::system(("python3 '" KIVHOST_OPENAPI_CHECK "' '" + file + "' > '" + report + "' 2>&1").c_str());
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) {
        GTEST_SKIP() << text;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    std::printf("%s", text.c_str());
}

} // namespace
} // namespace kiv::test::openapi
