// Runs the window tests inside the program's own application object, on the
// offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/application_qt.h"
#include "platform/display_qt.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The windows read their settings: never the user's own.
    char config[] = "/tmp/quillora-gui-tests-XXXXXX";
    if (::mkdtemp(config) != nullptr)
        ::setenv("XDG_CONFIG_HOME", config, 1);
    ::testing::InitGoogleTest(&argc, argv);
    // Death tests start the test binary afresh rather than forking a process
    // that holds a running application.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    quillora::Application app(argc, argv);
    Q_INIT_RESOURCE(quillora);
    quillora::display::init_from_primary_screen();
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(config, ignored);
    return status;
}
