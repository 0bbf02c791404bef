#pragma once

#include <string>
#include <string_view>

namespace fk {

// Whether the program may write the file (or, when it does not exist, create it in its folder).
// A file or folder without any write permission bit counts as read-only even for the superuser.
bool isWritableLocation(const std::string& path);

// A new file that takes the place of `target` only once it is complete: nobody sees it
// half-written, and a failure leaves an older file of that name whole. It is made in the target's
// folder under a name that says what it is (".NAME.XXXXXX.part"), exclusively and never through a
// symbolic link, and only its owner may read it while it is written.
class ReplacementFile {
public:
    // Throws EFCreateError ("Cannot create file "%s". %s", naming the target).
    explicit ReplacementFile(std::string target);
    // A file that was not put in place is removed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& temporaryPath() const { return m_temporary; }

    // Gives the file the permissions of the regular file it replaces (for a new name, those the
    // umask leaves of 0666), writes it to the disk first when `sync` is set, closes it and renames
    // it over the target. On failure the file is removed and EWriteError ("Cannot write file
    // "%s". %s") or EFCreateError ("Cannot create file "%s". %s") is thrown.
    void commit(bool sync);

private:
    void discard();

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
};

// Replaces the file's content all at once through a ReplacementFile written to the disk before it
// is renamed, so a failure (a full disk, say) leaves the old file whole. Missing folders are made;
// an existing file keeps its permissions, a symbolic link keeps pointing at the file. A read-only
// file or folder is not written. Any failure throws EWriteError(errorMessage).
void writeFileSafely(const std::string& path, std::string_view bytes,
                     const std::string& errorMessage);

}  // namespace fk
