#pragma once

#include <string>

namespace fk {

// GNOME's own custom keyboard shortcuts (in its settings, through gsettings) that run the
// program's command line for the four keys; the running copy takes the commands. GNOME keeps
// Print and Shift+Print for its own screenshot tool, so installing them takes those keys from it.
class GnomeKeybindings {
public:
    // `program` is the executable the shortcuts run.
    explicit GnomeKeybindings(std::string program) : m_program(std::move(program)) {}

    // The four shortcuts are there, running this program.
    bool installed() const;
    // Adds them (and frees their keys); false when GNOME's settings could not be changed.
    bool install() const;

private:
    std::string m_program;
};

}  // namespace fk
