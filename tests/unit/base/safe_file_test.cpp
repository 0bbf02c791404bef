#include "base/safe_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <regex>

#include "base/exceptions.h"
#include "base/stream.h"
#include "graphics/bitmap.h"
#include "support/test_support.h"

namespace fk {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;  // nobody

std::string textOf(const std::string& path) {
    const std::vector<uint8_t> bytes = test::readFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeText(const std::string& path, const std::string& text) {
    test::writeFileBytes(path, {text.begin(), text.end()});
}

// What stands under a name, as far as writing through it could change it.
std::string describe(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return "nothing";
    if (S_ISLNK(st.st_mode))
        return "link to " + fs::read_symlink(path).string() + " owned by " +
               std::to_string(st.st_uid);
    if (S_ISDIR(st.st_mode))
        return "folder of " + std::to_string(test::fileNames(path).size()) + " names";
    if (S_ISFIFO(st.st_mode))
        return "fifo";
    return "file \"" + textOf(path) + "\" mode " + std::to_string(st.st_mode & 07777) + " owner " +
           std::to_string(st.st_uid) + " links " + std::to_string(st.st_nlink);
}

// The things someone sharing the folder may have put under a name: each row plants one, with
// the files elsewhere that it leads to.
struct Planted {
    const char* what;
    std::function<void(const test::TempDir&, const std::string& name)> plant;
    bool needsOtherUser = false;
};

std::vector<Planted> plantings() {
    return {
        {"nothing", [](const test::TempDir&, const std::string&) {}},
        {"symbolic link to a file",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_symlink(d.file("elsewhere/notes.txt"), d.file(name));
         }},
        {"dangling link",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_symlink(d.file("elsewhere/not-yet.txt"), d.file(name));
         }},
        {"symbolic link to a device",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_symlink("/dev/null", d.file(name));
         }},
        {"hard link to a file",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_hard_link(d.file("elsewhere/notes.txt"), d.file(name));
         }},
        {"another user's file",
         [](const test::TempDir& d, const std::string& name) {
             writeText(d.file(name), "theirs");
             ::chmod(d.file(name).c_str(), 0666);
             ASSERT_EQ(::chown(d.file(name).c_str(), kOtherUser, kOtherUser), 0);
         },
         true},
        {"another user's link",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_symlink(d.file("elsewhere/notes.txt"), d.file(name));
             ASSERT_EQ(::lchown(d.file(name).c_str(), kOtherUser, kOtherUser), 0);
         },
         true},
        {"fifo",
         [](const test::TempDir& d, const std::string& name) {
             ASSERT_EQ(::mkfifo(d.file(name).c_str(), 0666), 0);
         }},
        {"folder",
         [](const test::TempDir& d, const std::string& name) {
             fs::create_directory(d.file(name));
             writeText(d.file(name + "/inside"), "inside");
         }},
    };
}

// A test folder with a file elsewhere that a planted link may lead to.
struct SharedFolder {
    SharedFolder() {
        fs::create_directory(dir.file("elsewhere"));
        writeText(dir.file("elsewhere/notes.txt"), "my notes");
        ::chmod(dir.file("elsewhere/notes.txt").c_str(), 0640);
    }
    // Everything a write through a planted name could have changed: a hard link that is replaced
    // lowers the link count, which is all it may do.
    std::string outside() const {
        const std::string notes = dir.file("elsewhere/notes.txt");
        struct stat st {};
        ::stat(notes.c_str(), &st);
        return textOf(notes) + " mode " + std::to_string(st.st_mode & 07777) + "; " +
               std::to_string(test::fileNames(dir.file("elsewhere")).size()) + " names";
    }
    test::TempDir dir;
};

bool canActAsOtherUser() {
    return ::geteuid() == 0;
}

// The frames of a video go to a file of a name known in advance. Whatever stands there is
// neither opened nor changed: an earlier file of ours is removed, anything else stays and the
// file is made beside it. The file is new, empty and private in every case.
TEST(CreateTemporaryFile, NeverOpensWhatStandsUnderTheName) {
    const std::regex fresh(R"(video_7\.gif\.[A-Za-z0-9]{6}\.tmp)");
    std::vector<Planted> rows = plantings();
    rows.push_back({"an earlier file of ours", [](const test::TempDir& d, const std::string& n) {
                        writeText(d.file(n), "old frames");
                    }});
    for (const Planted& row : rows) {
        if (row.needsOtherUser && !canActAsOtherUser())
            continue;
        SharedFolder shared;
        row.plant(shared.dir, "video_7.gif.tmp");
        const std::string before = describe(shared.dir.file("video_7.gif.tmp"));
        const std::string outside = shared.outside();
        const bool reusable = std::string(row.what) == "nothing" ||
                              std::string(row.what) == "an earlier file of ours";

        TemporaryFile file = createTemporaryFile(shared.dir.file("video_7.gif.tmp"));
        ASSERT_GE(file.fd.get(), 0) << row.what;
        ASSERT_EQ(::write(file.fd.get(), "frames", 6), 6);

        const std::string made = fs::path(file.path).filename().string();
        if (reusable) {
            EXPECT_EQ(made, "video_7.gif.tmp") << row.what;
        } else {
            EXPECT_TRUE(std::regex_match(made, fresh)) << row.what << ": " << made;
            EXPECT_EQ(describe(shared.dir.file("video_7.gif.tmp")), before) << row.what;
        }
        EXPECT_EQ(describe(file.path),
                  "file \"frames\" mode 384 owner " + std::to_string(::geteuid()) + " links 1")
            << row.what;
        EXPECT_EQ(shared.outside(), outside) << row.what;
    }

    // A full disk while the frames are written is reported, naming the file.
    test::TempDir dir;
    const std::string message = test::runWithFileSizeLimit(10000, [&] {
        TemporaryFile file = createTemporaryFile(dir.file("video_8.gif.tmp"));
        FileStream out(std::move(file.fd), file.path);
        std::vector<uint8_t> frame(50000, 1);
        out.write(frame.data(), frame.size());
        out.close();
    });
    EXPECT_EQ(message, "Cannot write file \"" + dir.file("video_8.gif.tmp") + "\". File too large");
    try {
        createTemporaryFile(dir.file("missing/video_9.gif.tmp"));
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" +
                                             dir.file("missing/video_9.gif.tmp") +
                                             "\". No such file or directory");
    }
}

// A picture replaces whatever stands under its name, once it is complete, and never writes
// through it: the files a link leads to stay as they were. The picture gets the permissions a
// new file gets, unless it replaces an earlier file of ours, whose permissions it keeps.
TEST(ReplacementFile, ReplacesWhatStandsUnderTheNameWithoutWritingThroughIt) {
    const mode_t savedMask = ::umask(022);
    std::vector<Planted> rows = plantings();
    rows.push_back({"an earlier file of ours", [](const test::TempDir& d, const std::string& n) {
                        writeText(d.file(n), "older");
                        ::chmod(d.file(n).c_str(), 0640);
                    }});
    for (const Planted& row : rows) {
        if (row.needsOtherUser && !canActAsOtherUser())
            continue;
        SharedFolder shared;
        const std::string target = shared.dir.file("shot_000.bmp");
        row.plant(shared.dir, "shot_000.bmp");
        const std::string before = describe(target);
        const std::string outside = shared.outside();
        const std::string what = row.what;
        try {
            saveStreamToFile(target, [](Stream& out) { out.write("BM", 2); });
            EXPECT_NE(what, "folder") << "no error";
            const int mode = what == "an earlier file of ours" ? 0640 : 0644;
            EXPECT_EQ(describe(target), "file \"BM\" mode " + std::to_string(mode) + " owner " +
                                            std::to_string(::geteuid()) + " links 1")
                << what;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(what, "folder") << e.what();
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + target + "\". Is a directory");
            EXPECT_EQ(describe(target), before);
        }
        EXPECT_EQ(shared.outside(), outside) << what;
        EXPECT_EQ(test::fileNames(shared.dir.path()),
                  (std::vector<std::string>{"elsewhere", "shot_000.bmp"}))
            << what;
    }
    ::umask(savedMask);
}

// In a folder that others may write to, someone may move the temporary file away or put
// something else under its name, or move the folder itself, while the picture is written.
TEST(ReplacementFile, WhatOthersDoMeanwhileIsNoticedOrDoesNotMatter) {
    SharedFolder shared;
    const std::string target = shared.dir.file("shot_001.png");
    {
        // The temporary file swapped for a link: the link is not put in place.
        ReplacementFile file(target);
        ASSERT_EQ(::write(file.fd(), "PNG", 3), 3);
        const std::string temporary = file.temporaryPath();
        fs::rename(temporary, shared.dir.file("moved"));
        fs::create_symlink(shared.dir.file("elsewhere/notes.txt"), temporary);
        try {
            file.commit(false);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + target +
                          "\". Its temporary file was moved or replaced by someone else");
        }
        EXPECT_EQ(describe(target), "nothing");
        EXPECT_TRUE(fs::is_symlink(temporary)) << "another user's link is not ours to remove";
        EXPECT_EQ(textOf(shared.dir.file("elsewhere/notes.txt")), "my notes");
        fs::remove(temporary);
        fs::remove(shared.dir.file("moved"));
    }
    {
        // The temporary file removed: an error, and nothing under the name.
        ReplacementFile file(target);
        fs::remove(file.temporaryPath());
        EXPECT_THROW(file.commit(false), EFCreateError);
        EXPECT_EQ(describe(target), "nothing");
    }
    {
        // The folder moved away and another put under its name: the picture lands in the folder
        // it was begun in, beside its temporary file, and nothing goes into the new one.
        fs::create_directory(shared.dir.file("shots"));
        ReplacementFile file(shared.dir.file("shots/shot_002.png"));
        ASSERT_EQ(::write(file.fd(), "PNG", 3), 3);
        fs::rename(shared.dir.file("shots"), shared.dir.file("shots-moved"));
        fs::create_directory(shared.dir.file("shots"));
        file.commit(false);
        EXPECT_EQ(textOf(shared.dir.file("shots-moved/shot_002.png")), "PNG");
        EXPECT_EQ(test::fileNames(shared.dir.file("shots-moved")),
                  std::vector<std::string>{"shot_002.png"});
        EXPECT_TRUE(test::fileNames(shared.dir.file("shots")).empty());
    }
}

// config.ini may be a link the user made to keep it elsewhere; a link that another user put
// there is replaced instead of followed.
TEST(WriteFileSafely, FollowsOnlyTheUsersOwnLinks) {
    if (!canActAsOtherUser())
        GTEST_SKIP() << "another user's link cannot be made here";
    SharedFolder shared;
    const std::string config = shared.dir.file("config.ini");
    fs::create_symlink(shared.dir.file("elsewhere/notes.txt"), config);
    ASSERT_EQ(::lchown(config.c_str(), kOtherUser, kOtherUser), 0);
    writeFileSafely(config, "[FileName]", "failed");
    EXPECT_FALSE(fs::is_symlink(config));
    EXPECT_EQ(textOf(config), "[FileName]");
    EXPECT_EQ(textOf(shared.dir.file("elsewhere/notes.txt")), "my notes");
}

}  // namespace
}  // namespace fk
