#include "app/app_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>

#include "app/form_text.h"
#include "settings/config_location.h"

namespace fk {

AppPaths AppPaths::forThisProgram() {
    const std::string exeFolder = QCoreApplication::applicationDirPath().toStdString();
    const std::string home = QDir::homePath().toStdString();
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string userConfig = userConfigFolder(xdg ? xdg : "", home);
    const std::string pictures =
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation).toStdString();
    // A copy installed for the whole system shares its folder with every other program: it keeps
    // nothing there, also when it could (run by the superuser).
    const QString installedFolder = QFileInfo(FOTOKRAN_INSTALL_BINDIR).canonicalFilePath();
    const bool installed = !installedFolder.isEmpty() &&
                           QFileInfo(qs(exeFolder)).canonicalFilePath() == installedFolder;
    AppPaths paths;
    paths.configFile =
        installed ? userConfigFile(userConfig) : configFilePath(exeFolder, userConfig);
    paths.executable = QCoreApplication::applicationFilePath().toStdString();
    paths.autostartFolder = userConfig + "/autostart";
    paths.defaultFolder = defaultShotFolder(installed ? "" : exeFolder, pictures, home);
    return paths;
}

}  // namespace fk
