#include "driver/platform/system_service.h"

namespace zarvik12m {

namespace {

const char* const LeftToSystemd = "services are managed by systemd here: install the program's unit file instead";

}  // namespace

std::string InstallSystemService(const TSystemService& /*service*/)
{
    return LeftToSystemd;
}

std::string RemoveSystemService(const std::string& /*name*/)
{
    return LeftToSystemd;
}

std::string SystemServiceStateFolder(const std::string& /*vendor*/, const std::string& /*program*/)
{
    return {};
}

std::string RunAsSystemService(const std::string& /*name*/, const std::function<int()>& /*serve*/,
                               const std::function<void()>& /*stop*/)
{
    return LeftToSystemd;
}

}  // namespace zarvik12m
