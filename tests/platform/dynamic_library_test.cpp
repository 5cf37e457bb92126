#include <cstdint>

#include <gtest/gtest.h>

#include "driver/platform/dynamic_library.h"
#include "zarvik12m/progress.h"

namespace zarvik12m {
namespace {

TEST(DynamicLibrary, BindsExportsByName)
{
    TDynamicLibrary library(ZARVIK12M_LIBRARY_PATH);
    ASSERT_TRUE(library.Loaded()) << library.LastError().Text;
    auto* getMax = reinterpret_cast<TGetProgressMax>(library.Bind(GetProgressMaxExportName));
    ASSERT_NE(getMax, nullptr);
    EXPECT_EQ(getMax(1), 0);
    EXPECT_EQ(library.Bind("NoSuchExport"), nullptr);
    EXPECT_EQ(library.LastError().Kind, TErrorKind::NotFound);
    EXPECT_NE(library.LastError().Text.find("NoSuchExport"), std::string::npos);
    library.Unload();
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.Bind(GetProgressMaxExportName), nullptr);
}

TEST(DynamicLibrary, ReportsAMissingFile)
{
    const TDynamicLibrary library("libzarvik12m-no-such-file.so");
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(library.LastError().Kind, TErrorKind::NotFound);
    EXPECT_NE(library.LastError().Text.find("libzarvik12m-no-such-file.so"), std::string::npos);
}

}  // namespace
}  // namespace zarvik12m
