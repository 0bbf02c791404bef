#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

#include "base/file.h"

namespace fk {

// Whether the program may write the file (or, when it does not exist, create it in its folder).
// A file or folder without any write permission bit counts as read-only even for the superuser.
bool isWritableLocation(const std::string& path);

// Opens a new, empty file `name` in the folder `folderFd` (a descriptor or AT_FDCWD) for reading
// and writing. Nothing that already has the name is ever opened, a link to somewhere else
// included: the file is created exclusively and never through a link, only its owner may read
// it, and child processes do not inherit it. While it is open it holds an exclusive flock, which
// tells a later start that its maker is still running. Returns the descriptor, or none with errno
// set (EEXIST when anything at all has the name, even a dangling link).
FileDescriptor openNewFile(int folderFd, const std::string& name);

// Whether the file is one the program itself may take over: a regular file of this user that
// has no other name. Symbolic links, other users' files and hard links are not.
bool isOwnPlainFile(int folderFd, const std::string& name);
bool isOwnPlainFile(const struct stat& st);

// A private file for the program's own temporary data.
struct TemporaryFile {
    FileDescriptor fd;
    std::string path;  // where it was made
};

// Makes a file with openNewFile as `path` when that name is free or holds an earlier file of
// ours (isOwnPlainFile), which is removed first. Anything else standing there is left alone and
// the file is made under a fresh name beside it, six letters put before the last extension:
// "video_7.gif.tmp" becomes "video_7.gif.Xa3kP0.tmp". Throws EFCreateError ("Cannot create file
// "%s". %s", naming `path`).
TemporaryFile createTemporaryFile(const std::string& path);

// A new file that takes the place of `target` only once it is complete: nobody sees it
// half-written, and a failure leaves an older file of that name whole. It is made with
// openNewFile in the target's folder under a name that says what it is (".NAME.XXXXXX.part");
// that folder is held open, so the file is put in place in the folder it was made in even if the
// folder's path is changed meanwhile. Whatever stood under the target's name, a symbolic or hard
// link included, is replaced and never written.
class ReplacementFile {
public:
    // Throws EFCreateError ("Cannot create file "%s". %s", naming the target), also when a
    // folder has the target's name.
    explicit ReplacementFile(std::string target);
    // A file that was not put in place is removed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    int fd() const { return m_fd.get(); }
    std::string temporaryPath() const;

    // Gives the file the permissions the umask leaves of 0666, or those of the file it replaces
    // when that is our own (isOwnPlainFile), writes it to the disk first when `sync` is set,
    // closes it and renames it over the target. Throws EWriteError ("Cannot write file "%s".
    // %s") or EFCreateError ("Cannot create file "%s". %s") when it cannot, and also when someone
    // moved or replaced the temporary file meanwhile; the temporary file is then removed.
    void commit(bool sync);

private:
    void discard();
    bool temporaryIsOurs() const;

    std::string m_target;
    std::string m_folderPath;
    std::string m_name;
    std::string m_temporaryName;
    FileDescriptor m_folder;
    FileDescriptor m_fd;
    struct stat m_made {};  // the temporary file as it was made
};

// Replaces the file's content all at once through a ReplacementFile written to the disk before it
// is renamed, so a failure (a full disk, say) leaves the old file whole. Missing folders are made;
// an existing file of ours keeps its permissions, and a symbolic link that we (or the superuser)
// made keeps pointing at the file; another user's link is replaced, not followed.
// A read-only file or folder is not written. Any failure throws EWriteError(errorMessage).
void writeFileSafely(const std::string& path, std::string_view bytes,
                     const std::string& errorMessage);

}  // namespace fk
