// Compiled by the tests, expected to fail: the euro sign has a Windows-1251
// byte, the Japanese characters do not.
#include "driver/common/cp1251.h"

using namespace zarvik12m::literals;

constexpr auto Refused = "€ 日本"_cp1251;

int main()
{
    return static_cast<int>(Refused.size());
}
