#include "settings/config_location.h"

#include <sys/stat.h>
#include <unistd.h>

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
    if (isWritableFolder(executableFolder))
        return executableFolder;
    if (isFolder(pictures))
        return pictures;
    return home;
}

}  // namespace fk
