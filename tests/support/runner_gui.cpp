// Runs the window tests inside the program's own application object, on the
// offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/application_qt.h"
#include "platform/display_qt.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests start the test binary afresh rather than forking a process
    // that holds a running application.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    quillora::Application app(argc, argv);
    Q_INIT_RESOURCE(quillora);
    quillora::display::init_from_primary_screen();
    return RUN_ALL_TESTS();
}
