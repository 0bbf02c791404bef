#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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
