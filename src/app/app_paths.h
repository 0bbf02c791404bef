#pragma once

#include <string>

namespace fk {

// Where the program keeps its files.
struct AppPaths {
    std::string configFile;
    std::string executable;
    std::string autostartFolder;
    std::string defaultFolder;  // where shots go until the user picks a folder

    // The paths of the running program in this user's session.
    static AppPaths forThisProgram();
};

}  // namespace fk
