// The web console as the service serves it: every file the page names is
// embedded, with its type and the headers that keep other scripts out.
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>

#include "server/console_files.h"
#include "server/console_route.h"

namespace zarvik12m::server {
namespace {

std::string HeaderValue(const TApiResponse& response, const std::string& name)
{
    for (const auto& [key, value] : response.Headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

TEST(ConsoleRoute, TheIndexAndItsFilesComeWithTheirTypesAndThePolicy)
{
    for (const char* path : {"/", "/console", "/console/"}) {
        const std::optional<TApiResponse> index = ConsoleResponse("GET", path);
        ASSERT_TRUE(index) << path;
        EXPECT_EQ(index->Status, 200);
        EXPECT_EQ(index->ContentType, "text/html");
        EXPECT_NE(index->Body.find("<!doctype html>"), std::string::npos);
        const std::string policy = HeaderValue(*index, "Content-Security-Policy");
        EXPECT_NE(policy.find("script-src 'self'"), std::string::npos);
        EXPECT_NE(policy.find("default-src 'self'"), std::string::npos);
        EXPECT_NE(policy.find("frame-ancestors 'none'"), std::string::npos);
        // No inline script: the policy would refuse it anyway.
        EXPECT_EQ(index->Body.find("<script>"), std::string::npos);
    }
    const std::optional<TApiResponse> script = ConsoleResponse("GET", "/console/js/main.js");
    ASSERT_TRUE(script);
    EXPECT_EQ(script->ContentType, "text/javascript");
    const std::optional<TApiResponse> style = ConsoleResponse("GET", "/console/console.css");
    ASSERT_TRUE(style);
    EXPECT_EQ(style->ContentType, "text/css");
}

TEST(ConsoleRoute, OnlyAGetOfAnEmbeddedFileIsAnswered)
{
    EXPECT_FALSE(ConsoleResponse("POST", "/"));
    EXPECT_FALSE(ConsoleResponse("PUT", "/console/js/main.js"));
    EXPECT_FALSE(ConsoleResponse("GET", "/console/missing.js"));
    EXPECT_FALSE(ConsoleResponse("GET", "/console/../console/index.html"));
    EXPECT_FALSE(ConsoleResponse("GET", "/console/.eslintrc.json"));  // the linter's settings stay out
    EXPECT_FALSE(ConsoleResponse("GET", "/index.html"));
    EXPECT_FALSE(ConsoleResponse("GET", "/api/v1/registers"));
    EXPECT_FALSE(ConsoleResponse("GET", "/healthz"));
}

// A file renamed or left out of the build would leave the page blank: every
// file the index and the modules name must be there.
TEST(ConsoleRoute, EveryFileThePageNamesIsEmbedded)
{
    const std::optional<TStaticFile> index = ConsoleFile("index.html");
    ASSERT_TRUE(index);
    std::set<std::string> wanted;
    const std::string html(index->Bytes);
    const std::regex link(R"re((?:src|href)="/console/([^"]+)")re");
    for (std::sregex_iterator it(html.begin(), html.end(), link), end; it != end; ++it) {
        wanted.insert((*it)[1]);
    }
    EXPECT_TRUE(wanted.contains("js/main.js"));
    EXPECT_TRUE(wanted.contains("console.css"));
    std::set<std::string> checked;
    const std::regex import(R"re(from "\./([^"]+)")re");
    while (!wanted.empty()) {
        const std::string name = *wanted.begin();
        wanted.erase(wanted.begin());
        checked.insert(name);
        const std::optional<TStaticFile> file = ConsoleFile(name);
        ASSERT_TRUE(file) << name << " is named but not embedded";
        EXPECT_FALSE(file->ContentType.empty());
        const std::string text(file->Bytes);
        for (std::sregex_iterator it(text.begin(), text.end(), import), end; it != end; ++it) {
            const std::string module = "js/" + std::string((*it)[1]);
            if (!checked.contains(module)) {
                wanted.insert(module);
            }
        }
    }
    EXPECT_GE(checked.size(), 8U);
}

}  // namespace
}  // namespace zarvik12m::server
