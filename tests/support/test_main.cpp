#include <stdlib.h>

#include <gtest/gtest.h>

// glibc's newlocale() leaks its copy of LOCPATH whenever LOCPATH is set,
// and the tests set it to reach the Russian locales built into the tree.
// LeakSanitizer asks the program for its default suppressions here.
extern "C" const char* __lsan_default_suppressions()  // NOLINT(bugprone-reserved-identifier)
{
    return "leak:__argz_add_sep\n"
           "leak:__argz_create_sep\n";
}

int main(int argc, char** argv)
{
    // The locales of ru_RU that the build made for the tests.
    setenv("LOCPATH", ZARVIK12M_TEST_LOCALE_DIRECTORY, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
