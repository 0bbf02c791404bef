#pragma once

#include <functional>
#include <string>

namespace fk {

// What a backend may ask of the program around it: values kept in the program's settings
// between runs (a permission the desktop granted), and a yes-or-no question to the user. Each
// may be empty: then nothing is kept, and no one is asked.
struct PlatformHost {
    std::function<std::string(const std::string& key)> keptValue;
    std::function<void(const std::string& key, const std::string& value)> keepValue;
    std::function<bool(const std::string& question)> askUser;
};

}  // namespace fk
