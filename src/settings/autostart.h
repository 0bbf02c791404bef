#pragma once

#include <string>

namespace fk {

// Starting with the desktop session: the XDG autostart entry "Fotokran.desktop" in `folder`
// (normally $XDG_CONFIG_HOME/autostart). Per user, like everything in the user's config folder.

// On when the entry exists and the desktop has not disabled it (Hidden=true,
// X-GNOME-Autostart-enabled=false). An entry that cannot be read throws EReadError "Failed to get
// data for 'Fotokran'. " and the reason.
bool autostartEnabled(const std::string& folder);
// Writes the entry so that it starts `executablePath` and nothing else; an existing entry is
// replaced. Throws EWriteError "Failed to set data for 'Fotokran'".
void writeAutostartEntry(const std::string& folder, const std::string& executablePath);
// Removes the entry; nothing happens when there is none. Throws EWriteError "Failed to delete
// data for 'Fotokran'. " and the reason when it stays.
void removeAutostartEntry(const std::string& folder);

std::string autostartEntryPath(const std::string& folder);
// The Exec= value that runs exactly this program, quoted and escaped for a desktop entry.
std::string desktopExecValue(const std::string& executablePath);

}  // namespace fk
