#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/server_options.h"

namespace zarvik12m::server {
namespace {

using TAction = TServerOptions::TServiceAction;

// What --install-service leaves for the service manager to start: the
// program starts in the system's folder there, so every path it is given
// must be absolute, and the state folder must be named.
TEST(ServiceArgumentsTest, RegisteredCommandLineStandsOnItsOwn)
{
    const std::vector<std::string> given{"--install-service", "--register", "kkm=7",         "--token-file",
                                         "token.txt",         "--listen",   "127.0.0.1:9000"};
    const TServerOptions options = [&] {
        const std::filesystem::path token = "token.txt";
        {
            std::ofstream(token) << "secret\n";
        }
        TServerOptions parsed = ParseServerOptions(given);
        std::filesystem::remove(token);
        return parsed;
    }();
    EXPECT_EQ(options.Service, TAction::Install);
    EXPECT_FALSE(options.StateFolderNamed);

    const std::string absoluteToken = std::filesystem::absolute("token.txt").string();
    EXPECT_EQ(ServiceArguments(given, options, R"(C:\ProgramData\Zarvik12m\server)"),
              (std::vector<std::string>{"--service", "--register", "kkm=7", "--token-file", absoluteToken, "--listen",
                                        "127.0.0.1:9000", "--state-dir", R"(C:\ProgramData\Zarvik12m\server)"}));

    // A named state folder is kept (made absolute) and no default is added.
    const std::vector<std::string> named{"--register", "kkm=7", "--state-dir", "state", "--install-service"};
    const TServerOptions namedOptions = ParseServerOptions(named);
    EXPECT_TRUE(namedOptions.StateFolderNamed);
    EXPECT_EQ(ServiceArguments(named, namedOptions, "unused"),
              (std::vector<std::string>{"--service", "--register", "kkm=7", "--state-dir",
                                        std::filesystem::absolute("state").string()}));

    // Removing needs no register; running under the manager does.
    EXPECT_EQ(ParseServerOptions(std::vector<std::string>{"--remove-service"}).Service, TAction::Remove);
    EXPECT_THROW(static_cast<void>(ParseServerOptions(std::vector<std::string>{"--service"})), std::invalid_argument);
}

}  // namespace
}  // namespace zarvik12m::server
