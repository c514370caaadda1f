// The module under test is the first command-line argument after GoogleTest
// has taken its own flags.
#include "tests/module/ModuleHost.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        SetModulePath(argv[1]);
    }
    return RUN_ALL_TESTS();
}
