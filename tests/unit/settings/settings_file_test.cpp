#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/exceptions.h"
#include "base/safe_file.h"
#include "settings/config_location.h"
#include "settings/ini_file.h"
#include "settings/settings_store.h"
#include "support/test_support.h"

namespace fk {
namespace {

namespace fs = std::filesystem;

std::string readText(const std::string& path) {
    const auto bytes = test::readFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const std::string& path, const std::string& text) {
    test::writeFileBytes(path, {text.begin(), text.end()});
}

// The smallest controls that save: every value at a fixed, known text.
struct FixedControls final : SettingsControls {
    int windowLeft() override { return 1; }
    void setWindowLeft(int) override {}
    int windowTop() override { return 2; }
    void setWindowTop(int) override {}
    int alpha() override { return 200; }
    void setAlpha(int) override {}
    bool useAlpha() override { return true; }
    void setUseAlpha(bool) override {}
    bool startMinimized() override { return false; }
    void setStartMinimized(bool) override {}
    std::string folder() override { return "/shots"; }
    void setFolder(const std::string&) override {}
    std::string counterText() override { return "7"; }
    void setCounterText(const std::string&) override {}
    int formatIndex() override { return 1; }
    void setFormatIndex(int) override {}
    int jpegQuality() override { return 90; }
    void setJpegQuality(int) override {}
    int gifPalette() override { return 0; }
    void setGifPalette(int) override {}
    int videoType() override { return 0; }
    void setVideoType(int) override {}
    int gifSpeed() override { return 20; }
    void setGifSpeed(int) override {}
    bool useDelay() override { return false; }
    void setUseDelay(bool) override {}
    bool captureCursor() override { return true; }
    void setCaptureCursor(bool) override {}
    std::string delayText() override { return "3"; }
    void setDelayText(const std::string&) override {}
    std::string timerText() override { return "250"; }
    void setTimerText(const std::string&) override {}
    std::string lastMask() override { return "s_#.bmp"; }
    void setLastMask(const std::string&) override {}
    std::vector<std::string> masks() override { return {"s_#.bmp"}; }
    void setMasks(const std::vector<std::string>&) override {}
    bool notifications() override { return true; }
    void setNotifications(bool) override {}
};

TEST(SaveSettingsFile, MakesMissingFoldersAndKeepsUnknownKeys) {
    test::TempDir dir;
    FixedControls c;
    const std::string path = dir.file("a/b/config.ini");
    SaveSettingsFile(path, c);
    EXPECT_EQ(IniFile::loadFile(path)->value("Format", "Type"), "1");

    writeText(path, "[Mine]\nkeep=1\n" + readText(path));
    SaveSettingsFile(path, c);
    const IniFile back = *IniFile::loadFile(path);
    EXPECT_EQ(back.value("Mine", "keep"), "1");
    EXPECT_EQ(back.value("Masks", "Mask0"), "s_#.bmp");
    EXPECT_EQ(back.entries("Masks").size(), 2u);
}

TEST(SaveSettingsFile, AReadOnlyFileOrFolderIsReportedAndLeftAsItWas) {
    test::TempDir dir;
    FixedControls c;
    const std::string file = dir.file("config.ini");
    writeText(file, "[Format]\nType=5\n");
    ::chmod(file.c_str(), 0444);
    try {
        SaveSettingsFile(file, c);
        FAIL() << "a read-only file was written";
    } catch (const EWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + file);
    }
    EXPECT_EQ(readText(file), "[Format]\nType=5\n");

    const std::string folder = dir.file("locked");
    fs::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    try {
        SaveSettingsFile(folder + "/config.ini", c);
        FAIL() << "a file was made in a read-only folder";
    } catch (const EWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + folder + "/config.ini");
    }
    EXPECT_FALSE(test::fileExists(folder + "/config.ini"));
}

TEST(SaveSettingsFile, AFullDiskLeavesTheOldFileWhole) {
    test::TempDir dir;
    const std::string file = dir.file("config.ini");
    const std::string old = "[Format]\nType=5\n";
    writeText(file, old);
    // A file-size limit makes every write past it fail, as a full disk would.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 40;
    ::setrlimit(RLIMIT_FSIZE, &small);
    FixedControls c;
    EXPECT_THROW(SaveSettingsFile(file, c), EWriteError);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(readText(file), old);
    size_t files = 0;
    for ([[maybe_unused]] auto& entry : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

TEST(WriteFileSafely, KeepsPermissionsAndSymbolicLinks) {
    test::TempDir dir;
    const std::string real = dir.file("real.ini");
    writeText(real, "old");
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, dir.file("link.ini"));
    writeFileSafely(dir.file("link.ini"), "new", "failed");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(readText(real), "new");
    struct stat st {};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ConfigLocation, BesideTheExecutableWhenPossibleElseInTheUsersConfigFolder) {
    test::TempDir dir;
    const std::string exe = dir.file("bin");
    fs::create_directory(exe);
    EXPECT_EQ(configFilePath(exe, "/cfg"), exe + "/config.ini");
    ::chmod(exe.c_str(), 0555);
    EXPECT_EQ(configFilePath(exe, "/cfg"), "/cfg/fotokran/config.ini");
    // A file already there is used even in a read-only folder.
    ::chmod(exe.c_str(), 0755);
    writeText(exe + "/config.ini", "");
    ::chmod(exe.c_str(), 0555);
    EXPECT_EQ(configFilePath(exe, "/cfg"), exe + "/config.ini");

    EXPECT_EQ(userConfigFolder("/x/conf", "/home/u"), "/x/conf");
    EXPECT_EQ(userConfigFolder("", "/home/u"), "/home/u/.config");
    EXPECT_EQ(userConfigFolder("relative", "/home/u"), "/home/u/.config");
}

TEST(ConfigLocation, TheDefaultShotFolderIsNeverTheRoot) {
    test::TempDir dir;
    const std::string exe = dir.file("bin"), pictures = dir.file("Pictures"), home = dir.path();
    fs::create_directory(exe);
    EXPECT_EQ(defaultShotFolder(exe, pictures, home), exe);
    ::chmod(exe.c_str(), 0555);
    EXPECT_EQ(defaultShotFolder(exe, pictures, home), pictures);  // made by the first save
    EXPECT_EQ(defaultShotFolder(exe, dir.file("bin/Pictures"), home), home);  // cannot be made
    fs::create_directory(pictures);
    EXPECT_EQ(defaultShotFolder(exe, pictures, home), pictures);
}

}  // namespace
}  // namespace fk
