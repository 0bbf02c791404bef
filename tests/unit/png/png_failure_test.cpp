// Bad input and failing files: each ends in an error that reaches the caller.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "base/stream.h"
#include "png_test_util.h"
#include "support/test_support.h"

namespace fk {
namespace {

TEST(PngFailure, EmptyBitmapIsRefusedAndTheImageKept) {
    TPNGObject png;
    png.Assign(test::makeTestPattern(5, 4, PixelFormat::Bits24));
    MemoryStream before;
    png.SaveToStream(before);

    for (const Bitmap& empty :
         {Bitmap(), Bitmap(0, 3, PixelFormat::Bits24), Bitmap(7, 0, PixelFormat::Bits8)}) {
        try {
            png.Assign(empty);
            FAIL() << "an empty bitmap was taken";
        } catch (const EPngError& e) {
            EXPECT_NE(std::string(e.what()).find("at least one pixel"), std::string::npos)
                << e.what();
        }
    }
    MemoryStream after;
    png.SaveToStream(after);
    EXPECT_EQ(after.bytes(), before.bytes());
}

TEST(PngFailure, UnwritablePlaces) {
    test::TempDir dir;
    TPNGObject png;
    png.Assign(test::makeTestPattern(3, 3, PixelFormat::Bits24));
    const std::string missing = dir.file("no-such-folder/shot.png");
    try {
        png.SaveToFile(missing);
        FAIL() << "saved into a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "\". ", 0), 0u)
            << e.what();
    }
    EXPECT_THROW(png.SaveToFile(dir.path()), EFCreateError);  // a folder, not a file
}

TEST(PngFailure, FullDiskEndsWithAWriteError) {
    if (!test::fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TPNGObject png;
    png.Assign(test::makeTestPattern(64, 64, PixelFormat::Bits24));
    EXPECT_THROW(png.SaveToFile("/dev/full"), EWriteError);
}

// In a child process whose file size limit lies inside the picture's data: the save must fail
// with a write error and leave nothing behind.
TEST(PngFailure, FileSizeLimitMidwayEndsWithAWriteError) {
    test::TempDir dir;
    const std::string path = dir.file("cut.png");
    const Bitmap noise = test::makeTestPattern(300, 300, PixelFormat::Bits24, 4);
    const size_t fullSize = test::encode(noise).size();
    ASSERT_GT(fullSize, 200000u);

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            TPNGObject png;
            png.Assign(noise);
            png.SaveToFile(path);
            code = 2;  // claimed success
        } catch (const EWriteError& e) {
            code = std::strstr(e.what(), "Cannot write file") ? 0 : 3;
        } catch (...) {
            code = 4;
        }
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2 = success claimed, 3 = wrong message, 4 = wrong error";
    EXPECT_TRUE(test::fileNames(dir.path()).empty());
}

TEST(PngFailure, CompressionLevelOutsideZlibsRange) {
    TPNGObject png;
    png.Assign(test::makeTestPattern(8, 8, PixelFormat::Bits8));
    png.SetDeflateLevel(10);
    MemoryStream out;
    try {
        png.SaveToStream(out);
        FAIL() << "level 10 was taken";
    } catch (const EPngError& e) {
        EXPECT_NE(std::string(e.what()).find("at level 10"), std::string::npos) << e.what();
    }
    // The image stays usable with a valid level.
    png.SetDeflateLevel(9);
    MemoryStream good;
    png.SaveToStream(good);
    EXPECT_EQ(test::inflateImageData(test::parseChunks(good.bytes())).size(), 8u * 9u);
}

}  // namespace
}  // namespace fk
