// Main of the GUI test programs: one application object for all tests,
// offscreen unless a platform was chosen.
#include <cstdlib>
#include <gtest/gtest.h>

#include "ZVektool.h"

// Qt keeps some of its allocations until exit: no leak report for the GUI
// programs, also when they only list their tests during the build.
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char **argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SubClassQApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
