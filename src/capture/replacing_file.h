#pragma once

#include <memory>
#include <string>

namespace fk {

class FileStream;

// The temporary name a file is written under beside its final one.
std::string temporaryNameFor(const std::string& path);
// Renames the complete temporary file over the final name; when that fails, deletes it and
// throws "Cannot create file "%s". %s" with the final name.
void moveIntoPlace(const std::string& temporary, const std::string& path);

// A file written under a temporary name beside its final one and renamed into place only when
// it is complete, so that a failed write never leaves a file that looks finished.
class ReplacingFile {
public:
    // "Cannot create file "%s". %s" (with the final name) when the folder takes no new file.
    explicit ReplacingFile(std::string path);
    // Without commit() the temporary file is deleted.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    FileStream& stream() { return *m_stream; }
    // Closes the file and renames it over the final name.
    void commit();
    // The stream's errors name the temporary file; the user knows the file by its final name.
    [[noreturn]] void rethrowNamingTheFile() const;

private:
    std::string m_path;
    std::string m_temporary;
    std::unique_ptr<FileStream> m_stream;
};

// The usual file entry, written through a ReplacingFile.
template <typename Save>
void saveStreamReplacing(const std::string& path, Save&& save) {
    ReplacingFile file(path);
    try {
        save(file.stream());
        file.commit();
    } catch (...) {
        file.rethrowNamingTheFile();
    }
}

}  // namespace fk
