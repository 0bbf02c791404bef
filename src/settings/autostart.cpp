#include "settings/autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exceptions.h"
#include "base/safe_file.h"
#include "settings/ini_file.h"

namespace fk {

namespace {

constexpr const char* kValueName = "Fotokran";

bool isTrue(const std::optional<std::string>& v) {
    return v && *v == "true";
}
bool isFalse(const std::optional<std::string>& v) {
    return v && *v == "false";
}

}  // namespace

std::string autostartEntryPath(const std::string& folder) {
    return folder + "/" + kValueName + ".desktop";
}

std::string desktopExecValue(const std::string& executablePath) {
    // First the argument is quoted (a backslash before " ` $ \ inside double quotes), '%' is
    // doubled so it is no field code; then the value escapes of every string key apply, which
    // double each backslash again.
    std::string quoted = "\"";
    for (char c : executablePath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (char c : quoted) {
        switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\n':
                value += "\\n";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            default:
                value += c;
        }
    }
    return value;
}

bool autostartEnabled(const std::string& folder) {
    std::optional<IniFile> entry;
    try {
        entry = IniFile::loadFile(autostartEntryPath(folder));
    } catch (const EReadError& e) {
        throw EReadError(formatMessage("Failed to get data for '%s'. %s", {kValueName, e.what()}));
    }
    if (!entry)
        return false;
    return !isTrue(entry->value("Desktop Entry", "Hidden")) &&
           !isFalse(entry->value("Desktop Entry", "X-GNOME-Autostart-enabled"));
}

void writeAutostartEntry(const std::string& folder, const std::string& executablePath) {
    std::string text = "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=Fotokran\n";
    text += "Comment=Программа для снятия снимков с экрана\n";
    text += "Exec=" + desktopExecValue(executablePath) + "\n";
    text += "Terminal=false\n";
    writeFileSafely(autostartEntryPath(folder), text,
                    formatMessage("Failed to set data for '%s'", {kValueName}));
}

void removeAutostartEntry(const std::string& folder) {
    const std::string path = autostartEntryPath(folder);
    if (::unlink(path.c_str()) == 0 || errno == ENOENT)
        return;
    const int err = errno;
    throw EWriteError(
        formatMessage("Failed to delete data for '%s'. %s", {kValueName, std::strerror(err)}));
}

}  // namespace fk
