#pragma once

#include <string>

namespace fk {

// The user's config folder: $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
std::string userConfigFolder(const std::string& xdgConfigHome, const std::string& home);

// config.ini in the "fotokran" folder of the user's config folder.
std::string userConfigFile(const std::string& userConfig);

// config.ini beside the executable when it exists there or that folder is writable; otherwise
// config.ini in the "fotokran" folder of the user's config folder.
std::string configFilePath(const std::string& executableFolder, const std::string& userConfig);

// Where shots go until the user picks a folder: the executable's folder when it is writable and
// no "bin" folder of an installation prefix; else the user's pictures folder when it exists or
// can be made (the first save makes it); else the home folder.
std::string defaultShotFolder(const std::string& executableFolder, const std::string& pictures,
                              const std::string& home);

}  // namespace fk
