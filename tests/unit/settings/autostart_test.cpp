#include "settings/autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <thread>

#include "base/exceptions.h"
#include "support/test_support.h"

namespace fk {
namespace {

namespace fs = std::filesystem;

TEST(Autostart, ExecValueQuotesAndEscapesThePath) {
    EXPECT_EQ(desktopExecValue("/usr/bin/fotokran"), R"("/usr/bin/fotokran")");
    EXPECT_EQ(desktopExecValue("/opt/my apps/fotokran"), R"("/opt/my apps/fotokran")");
    EXPECT_EQ(desktopExecValue("/a/100%/x"), R"("/a/100%%/x")");
    EXPECT_EQ(desktopExecValue("/a/$HOME/x"), R"("/a/\\$HOME/x")");
    EXPECT_EQ(desktopExecValue("/a/say\"hi\"/x"), R"("/a/say\\"hi\\"/x")");
    EXPECT_EQ(desktopExecValue("/a/back\\slash"), R"("/a/back\\\\slash")");
    EXPECT_EQ(desktopExecValue("/a/`cmd`"), R"("/a/\\`cmd\\`")");
}

TEST(Autostart, TheEntryStartsExactlyThisProgramWhenADesktopLaunchesIt) {
    if (!test::toolAvailable("gio"))
        GTEST_SKIP() << "gio is not installed";
    test::TempDir dir;
    // A folder name with every character the quoting must protect.
    // (GLib refuses any Exec path with "%" before expanding "%%", so "%" is checked above only.)
    const std::string folder = dir.file("odd $HOME \"q\" `x` back\\slash");
    fs::create_directories(folder);
    const std::string program = folder + "/fotokran";
    const std::string marker = dir.file("started");
    test::writeFileBytes(program, {});
    {
        std::string script = "#!/bin/sh\necho \"$0 $#\" > " + test::shellQuote(marker) + "\n";
        test::writeFileBytes(program, {script.begin(), script.end()});
    }
    ::chmod(program.c_str(), 0755);
    const std::string autostart = dir.file("autostart");
    writeAutostartEntry(autostart, program);

    const auto r =
        test::runCommand("gio launch " + test::shellQuote(autostartEntryPath(autostart)));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    for (int i = 0; i < 100 && !test::fileExists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto bytes = test::readFileBytes(marker);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), program + " 0\n");
}

TEST(Autostart, ExistsUnlessTheDesktopDisabledIt) {
    test::TempDir dir;
    EXPECT_FALSE(autostartEnabled(dir.path()));
    writeAutostartEntry(dir.path(), "/usr/bin/fotokran");
    EXPECT_TRUE(autostartEnabled(dir.path()));

    auto write = [&](const std::string& text) {
        test::writeFileBytes(autostartEntryPath(dir.path()), {text.begin(), text.end()});
    };
    write("[Desktop Entry]\nType=Application\nExec=x\nHidden=true\n");
    EXPECT_FALSE(autostartEnabled(dir.path()));
    write("[Desktop Entry]\nExec=x\nX-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(autostartEnabled(dir.path()));
    write("[Desktop Entry]\nExec=x\nHidden=false\nX-GNOME-Autostart-enabled=true\n");
    EXPECT_TRUE(autostartEnabled(dir.path()));

    removeAutostartEntry(dir.path());
    EXPECT_FALSE(autostartEnabled(dir.path()));
    EXPECT_NO_THROW(removeAutostartEntry(dir.path()));  // gone already: nothing to do
}

// An entry that is there but cannot be read or removed is an error, never "off".
TEST(Autostart, AnEntryThatCannotBeReadOrRemovedIsAnError) {
    test::TempDir dir;
    const std::string entry = autostartEntryPath(dir.path());
    ASSERT_EQ(::mkdir(entry.c_str(), 0755), 0);  // what stands there cannot be read as a file
    ASSERT_EQ(::mkdir((entry + "/inside").c_str(), 0755), 0);
    try {
        autostartEnabled(dir.path());
        ADD_FAILURE() << "an unreadable entry read as off";
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to get data for 'Fotokran'. Unable to read " +
                                             entry + ". Is a directory");
    }
    try {
        removeAutostartEntry(dir.path());
        ADD_FAILURE() << "an entry that stays was removed without a word";
    } catch (const EWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to delete data for 'Fotokran'. Is a directory");
    }
    EXPECT_TRUE(std::filesystem::exists(entry + "/inside"));
}

TEST(Autostart, AnEntryThatCannotBeWrittenIsReportedByName) {
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0555);
    try {
        writeAutostartEntry(dir.path() + "/autostart", "/usr/bin/fotokran");
        FAIL() << "no error";
    } catch (const EWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to set data for 'Fotokran'");
    }
}

}  // namespace
}  // namespace fk
