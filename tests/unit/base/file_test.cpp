#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "base/exceptions.h"
#include "base/file.h"
#include "support/test_support.h"

namespace fk {
namespace {

FileDescriptor openFile(const std::string& path, int flags = O_RDWR | O_CREAT) {
    return FileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, 0600));
}

const char* openOrClosed(int fd) {
    return ::fcntl(fd, F_GETFD) != -1 ? " open" : " closed";
}

// Each row works on a fresh file "f" that holds "abcdef", and tells what came of it.
TEST(FileLayer, WholeAndPositionedTransfersIdentityAndOwnership) {
    using Path = const std::string&;
    const struct {
        const char* what;
        std::function<std::string(Path)> run;
        const char* outcome;
    } rows[] = {
        {"written whole, read whole up to the end",
         [](Path f) {
             FileDescriptor fd = openFile(f);
             char got[8] = {};
             const IoResult w = writeAll(fd.get(), "ghij", 4);
             ::lseek(fd.get(), 0, SEEK_SET);
             const IoResult r = readAll(fd.get(), got, sizeof got);
             return std::to_string(w.done) + std::string(got, r.done) + std::to_string(r.error);
         },
         "4ghijef0"},
        {"positioned writes and reads leave the position",
         [](Path f) {
             FileDescriptor fd = openFile(f);
             char got[4] = {};
             const IoResult w = writeAllAt(fd.get(), "XY", 2, 4);
             const IoResult r = readAllAt(fd.get(), got, 3, 3);
             return std::to_string(w.done) + std::string(got, r.done) +
                    std::to_string(::lseek(fd.get(), 0, SEEK_CUR));
         },
         "2dXY0"},
        {"a failed write says why",
         [](Path f) {
             FileDescriptor fd = openFile(f, O_RDONLY);
             const IoResult w = writeAll(fd.get(), "xyz", 3);
             return std::to_string(w.done) + " " + std::strerror(w.error);
         },
         "0 Bad file descriptor"},
        {"a replaced name no longer names the open file",
         [](Path f) {
             FileDescriptor fd = openFile(f);
             const std::string before = namesOpenFile(f, fd.get()) ? "ours" : "other";
             test::writeFileBytes(f + ".new", {'n'});
             std::rename((f + ".new").c_str(), f.c_str());
             unlinkIfNamesOpenFile(f, fd.get());
             return before + " " + (namesOpenFile(f, fd.get()) ? "ours " : "other ") +
                    (test::fileExists(f) ? "kept " : "gone ") +
                    test::thrownMessage([&] { checkTemporaryFile(fd.get(), f, 6); });
         },
         "ours other kept The temporary file \"F\" has disappeared"},
        {"a temporary file cut short",
         [](Path f) {
             FileDescriptor fd = openFile(f);
             const std::string messages =
                 test::thrownMessage([&] { checkTemporaryFile(fd.get(), f, 6); }) + "|" +
                 test::thrownMessage([&] { checkTemporaryFile(fd.get(), f, 7); });
             unlinkIfNamesOpenFile(f, fd.get());
             return messages + (test::fileExists(f) ? " kept" : " gone");
         },
         "|The temporary file \"F\" has been cut short gone"},
        {"descriptors close with their last owner",
         [](Path f) {
             FileDescriptor a = openFile(f);
             const int first = a.get();
             FileDescriptor b = std::move(a);
             std::string states = std::to_string(a.get()) + openOrClosed(first);
             b = openFile(f);  // takes the place of the first
             states += openOrClosed(first);
             const int second = b.get();
             { const FileDescriptor c = std::move(b); }
             states += openOrClosed(second);
             FileDescriptor d = openFile(f);
             const int third = d.get();
             states += std::to_string(d.close());
             return states + openOrClosed(third) + std::to_string(d.get());
         },
         "-1 open closed closed0 closed-1"},
    };
    for (const auto& row : rows) {
        test::TempDir dir;
        const std::string f = dir.file("f");
        test::writeFileBytes(f, {'a', 'b', 'c', 'd', 'e', 'f'});
        std::string outcome = row.run(f);
        for (size_t at; (at = outcome.find(f)) != std::string::npos;)
            outcome.replace(at, f.size(), 1, 'F');
        EXPECT_EQ(outcome, row.outcome) << row.what;
    }
}

}  // namespace
}  // namespace fk
