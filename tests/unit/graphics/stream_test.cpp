#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"
#include "support/test_support.h"

namespace fk {
namespace {

TEST(FileStream, CreateErrorsNameThePathAndTheSystemReason) {
    test::TempDir dir;
    std::string path = dir.file("missing/sub/file.bmp");
    try {
        FileStream f(path, FileStream::Mode::Create);
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + path + "\". No such file or directory");
    }
    // A folder in place of the file.
    EXPECT_THROW(FileStream(dir.path(), FileStream::Mode::Create), EFCreateError);
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

std::string textOf(const std::string& path) {
    const std::vector<uint8_t> bytes = test::readFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const std::string& path, const std::string& text) {
    test::writeFileBytes(path, {text.begin(), text.end()});
}

// While a picture is written nobody sees it under its name: it grows under a hidden name that
// says what it is, readable by its owner only, and takes the name when complete.
TEST(SaveStreamToFile, APictureTakesItsNameOnlyWhenComplete) {
    test::TempDir dir;
    const std::string path = dir.file("shot_000.bmp");
    writeText(path, "older");
    ::chmod(path.c_str(), 0640);
    saveStreamToFile(path, [&](Stream& out) {
        std::vector<uint8_t> big(300000, 'n');
        out.write(big.data(), big.size());
        EXPECT_EQ(textOf(path), "older");
        const std::vector<std::string> names = test::fileNames(dir.path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_TRUE(
            std::regex_match(names[0], std::regex(R"(\.shot_000\.bmp\.[A-Za-z0-9]{6}\.part)")))
            << names[0];
        EXPECT_EQ(modeOf(dir.file(names[0])), 0600u);
        EXPECT_GE(test::readFileBytes(dir.file(names[0])).size(), 200000u);
    });
    EXPECT_EQ(test::readFileBytes(path).size(), 300000u);
    EXPECT_EQ(modeOf(path), 0640u) << "the replaced file's permissions stay";
    EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"shot_000.bmp"});

    // A new name gets what the umask leaves.
    for (mode_t mask : {mode_t(022), mode_t(077)}) {
        const mode_t previous = ::umask(mask);
        const std::string fresh = dir.file("fresh_" + std::to_string(mask) + ".png");
        saveStreamToFile(fresh, [](Stream& out) { out.write("x", 1); });
        ::umask(previous);
        EXPECT_EQ(modeOf(fresh), 0666u & ~mask);
    }
}

TEST(SaveStreamToFile, AFailedSaveLeavesNothingAndTheOlderFileAsItWas) {
    test::TempDir dir;
    const std::string path = dir.file("shot_001.png");
    writeText(path, "older");
    EXPECT_THROW(saveStreamToFile(path,
                                  [](Stream& out) {
                                      std::vector<uint8_t> some(100000, 1);
                                      out.write(some.data(), some.size());
                                      throw EInvalidGraphic("the encoder gave up");
                                  }),
                 EInvalidGraphic);
    EXPECT_EQ(textOf(path), "older");
    EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"shot_001.png"});

    // A full disk part way, in a child process with a file size limit.
    const std::string message = test::runWithFileSizeLimit(50000, [&] {
        saveStreamToFile(path, [](Stream& out) {
            std::vector<uint8_t> big(200000, 2);
            out.write(big.data(), big.size());
        });
    });
    EXPECT_EQ(message, "Cannot write file \"" + path + "\". File too large");
    EXPECT_EQ(textOf(path), "older");
    EXPECT_EQ(test::fileNames(dir.path()), std::vector<std::string>{"shot_001.png"});

    // No room for the temporary file at all: the message names the picture.
    const std::string folder = dir.file("locked");
    std::filesystem::create_directory(folder);
    ::chmod(folder.c_str(), 0555);
    if (::access(folder.c_str(), W_OK) != 0) {
        try {
            saveStreamToFile(folder + "/shot.gif", [](Stream&) {});
            FAIL() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + folder + "/shot.gif\". Permission denied");
        }
    }
    ::chmod(folder.c_str(), 0755);
}

// A symbolic link under the picture's name is replaced; the file it pointed at is not written.
// A device is written as it is, and a folder under the name is an error.
TEST(SaveStreamToFile, LinksAreReplacedDevicesWrittenAndFoldersRefused) {
    test::TempDir dir;
    const std::string elsewhere = dir.file("elsewhere.txt");
    writeText(elsewhere, "keep me");
    std::filesystem::create_symlink(elsewhere, dir.file("shot.bmp"));
    saveStreamToFile(dir.file("shot.bmp"), [](Stream& out) { out.write("BM", 2); });
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("shot.bmp")));
    EXPECT_EQ(textOf(dir.file("shot.bmp")), "BM");
    EXPECT_EQ(textOf(elsewhere), "keep me");

    if (test::fileExists("/dev/full")) {
        EXPECT_THROW(saveStreamToFile("/dev/full", [](Stream& out) { out.write("x", 1); }),
                     EWriteError);
    }
    try {
        saveStreamToFile(dir.path(), [](Stream&) {});
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + dir.path() + "\". Is a directory");
    }
}

TEST(FileStream, BufferedWritesSeeksAndReadsAgree) {
    test::TempDir dir;
    std::string path = dir.file("data.bin");
    {
        FileStream f(path, FileStream::Mode::Create);
        ByteWriter w(f);
        w.u32le(0x11223344);
        w.u16be(0xABCD);
        w.flush();
        std::vector<uint8_t> big(200000, 7);
        f.write(big.data(), big.size());
        EXPECT_EQ(f.position(), 6u + 200000u);
        f.seek(1);
        uint8_t patch = 0xEE;
        f.write(&patch, 1);
        f.close();
    }
    auto bytes = test::readFileBytes(path);
    ASSERT_EQ(bytes.size(), 200006u);
    EXPECT_EQ(bytes[0], 0x44);
    EXPECT_EQ(bytes[1], 0xEE);
    EXPECT_EQ(bytes[4], 0xAB);
    EXPECT_EQ(bytes[200005], 7);
}

TEST(FileStream, AFullDiskIsReportedNotSwallowed) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    FileStream f("/dev/full", FileStream::Mode::OpenReadWrite);
    std::vector<uint8_t> data(100000, 1);
    EXPECT_THROW(
        {
            f.write(data.data(), data.size());
            f.close();
        },
        EWriteError);
}

TEST(FileStream, UnwritableFolderGivesTheCreateError) {
    test::TempDir dir;
    // A file where a folder should be refuses even the superuser.
    test::writeFileBytes(dir.file("plain"), {1});
    try {
        Bitmap(2, 2, PixelFormat::Bits24).saveToFile(dir.file("plain/x.bmp"));
        FAIL() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot create file \"" + dir.file("plain/x.bmp") + "\". Not a directory");
    }
    if (::geteuid() != 0) {
        std::filesystem::permissions(
            dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_THROW(Bitmap(2, 2, PixelFormat::Bits24).saveToFile(dir.file("x.bmp")),
                     EFCreateError);
    }
}

TEST(MemoryStream, GrowsOnWriteAndReadsBack) {
    MemoryStream s;
    s.seek(4);
    uint8_t v[2] = {1, 2};
    s.write(v, 2);
    EXPECT_EQ(s.size(), 6u);
    s.seek(3);
    uint8_t got[3];
    s.readExact(got, 3);
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[2], 2);
    EXPECT_THROW(s.readExact(got, 1), EReadError);
}

}  // namespace
}  // namespace fk
