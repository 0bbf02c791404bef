#include "settings/config_location.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "base/safe_file.h"

namespace fk {

namespace {

bool isFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isWritableFolder(const std::string& path) {
    return isFolder(path) && isWritableLocation(path + "/.fotokran-probe");
}

// The "bin" folder of an installation prefix (~/.local/bin, /usr/bin): programs live there,
// pictures do not.
bool isPrefixBinFolder(const std::string& path) {
    const std::filesystem::path folder(path);
    if (folder.filename() != "bin")
        return false;
    const std::string prefix = folder.parent_path().string();
    return isFolder(prefix + "/share") || isFolder(prefix + "/lib");
}

}  // namespace

std::string userConfigFolder(const std::string& xdgConfigHome, const std::string& home) {
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
        return xdgConfigHome;
    return home + "/.config";
}

std::string userConfigFile(const std::string& userConfig) {
    return userConfig + "/fotokran/config.ini";
}

std::string configFilePath(const std::string& executableFolder, const std::string& userConfig) {
    const std::string beside = executableFolder + "/config.ini";
    if (::access(beside.c_str(), F_OK) == 0 || isWritableFolder(executableFolder))
        return beside;
    return userConfigFile(userConfig);
}

std::string defaultShotFolder(const std::string& executableFolder, const std::string& pictures,
                              const std::string& home) {
    if (isWritableFolder(executableFolder) && !isPrefixBinFolder(executableFolder))
        return executableFolder;
    if (isFolder(pictures) || (!pictures.empty() && isWritableLocation(pictures)))
        return pictures;
    return home;
}

}  // namespace fk
