// Runs the window tests on Qt's offscreen platform.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::string runtime =
        (std::filesystem::temp_directory_path() / "fotokran-ui-runtime").string();
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
