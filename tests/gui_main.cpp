// Main of the GUI test programs: one application object for all tests,
// offscreen unless a platform was chosen.
#include <cstdlib>
#include <gtest/gtest.h>

#include "ZVektool.h"

int main(int argc, char **argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    SubClassQApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
