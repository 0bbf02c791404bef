#include "capture/naming.h"

#include "base/text.h"

namespace fk {

std::string BuildFileName(const std::string& folder, const std::string& mask,
                          const std::string& counterText) {
    const size_t first = mask.find('#');
    if (first == std::string::npos)
        return folder + "/" + mask;
    size_t last = first;
    while (last + 1 < mask.size() && mask[last + 1] == '#')
        ++last;
    const size_t runLength = last - first + 1;

    std::string number = counterText;
    if (number.size() < runLength)
        number.insert(0, runLength - number.size(), '0');
    return folder + "/" + mask.substr(0, first) + number + mask.substr(last + 1);
}

int32_t RunningNumberValue(const std::string& counterText) {
    return tryStrToInt(counterText).value_or(0);
}

std::string AdvanceRunningNumber(const std::string& counterText) {
    const int32_t value = RunningNumberValue(counterText);
    const int32_t next = value == INT32_MAX ? INT32_MIN : value + 1;
    return std::to_string(next);
}

std::string BuildVideoFileName(const std::string& folder, std::string& counterText,
                               VideoEntry entry) {
    std::string name = folder + "/video_" + std::to_string(RunningNumberValue(counterText));
    if (entry != VideoEntry::NotSelected)
        name += ".gif";
    counterText = AdvanceRunningNumber(counterText);
    return name;
}

std::string RewriteMaskExtension(const std::string& mask, const std::string& formatEntry) {
    const size_t dot = mask.rfind('.');
    const size_t separator = mask.find_last_of("/\\:");
    std::string stem = mask;
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        stem = mask.substr(0, dot);
    return stem + "." + toLowerAscii(formatEntry);
}

}  // namespace fk
