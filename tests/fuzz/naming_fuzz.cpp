// Any folder, mask, counter text and format entry through the naming rules, each result checked
// against the rule stated in its own terms: the first run of '#' becomes the counter text padded
// with zeros, the rest of the mask stays; the counter advances by one with a wrap at the top; the
// extension after the last '.' (not before a separator) becomes the format's.
#include <optional>

#include "capture/naming.h"
#include "fuzz/fuzz_input.h"
#include "settings/list_entries.h"

namespace {

// Optional sign, at least one ASCII digit, nothing else, within 32 bits.
std::optional<int64_t> strictInteger(const std::string& s) {
    size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i == s.size())
        return std::nullopt;
    int64_t v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
        if (v > int64_t(1) << 32)
            return std::nullopt;
    }
    if (s[0] == '-')
        v = -v;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return v;
}

bool startsWith(const std::string& s, const std::string& p) {
    return s.compare(0, p.size(), p) == 0;
}
bool endsWith(const std::string& s, const std::string& p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const std::string folder = input.text(40);
    const std::string mask = input.text(80);
    const std::string counter = input.text(16);
    const std::string format = input.text(8);

    const std::string path = fk::BuildFileName(folder, mask, counter);
    FUZZ_CHECK(startsWith(path, folder + "/"), "the folder is not in front");
    const std::string name = path.substr(folder.size() + 1);
    const size_t first = mask.find('#');
    if (first == std::string::npos) {
        FUZZ_CHECK(name == mask, "a mask without '#' changed");
    } else {
        size_t run = 0;
        while (first + run < mask.size() && mask[first + run] == '#')
            ++run;
        const std::string before = mask.substr(0, first), after = mask.substr(first + run);
        FUZZ_CHECK(startsWith(name, before) && endsWith(name, after) &&
                       name.size() >= before.size() + after.size(),
                   "the mask around the run changed");
        const std::string number =
            name.substr(before.size(), name.size() - before.size() - after.size());
        FUZZ_CHECK(number.size() == std::max(run, counter.size()), "number of %zu characters",
                   number.size());
        FUZZ_CHECK(endsWith(number, counter), "the counter text is not kept whole");
        FUZZ_CHECK(number.find_first_not_of('0') >= number.size() - counter.size(),
                   "padding that is not zeros");
    }

    const std::optional<int64_t> value = strictInteger(counter);
    FUZZ_CHECK(fk::RunningNumberValue(counter) == value.value_or(0), "value of the counter");
    const int64_t current = value.value_or(0);
    const int64_t next = current == INT32_MAX ? INT32_MIN : current + 1;
    const std::string advanced = fk::AdvanceRunningNumber(counter);
    FUZZ_CHECK(strictInteger(advanced) == next && advanced == std::to_string(next),
               "advance gives %s", advanced.c_str());

    std::string videoCounter = counter;
    const bool gif = input.flag();
    const std::string video =
        fk::BuildVideoFileName(folder, videoCounter, fk::videoEntryOf(gif ? "GIF" : format));
    const bool withExtension = gif || format == "GIF";
    FUZZ_CHECK(
        video == folder + "/video_" + std::to_string(current) + (withExtension ? ".gif" : ""),
        "video name %s", video.c_str());
    FUZZ_CHECK(videoCounter == advanced, "the video did not advance the counter");

    std::string lower = format;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    const std::string rewritten = fk::RewriteMaskExtension(mask, format);
    FUZZ_CHECK(endsWith(rewritten, "." + lower), "no new extension");
    const std::string stem = rewritten.substr(0, rewritten.size() - lower.size() - 1);
    FUZZ_CHECK(startsWith(mask, stem), "the mask before its extension changed");
    const std::string dropped = mask.substr(stem.size());
    FUZZ_CHECK(dropped.find_first_of("/\\:") == std::string::npos, "a separator was dropped");
    const size_t separator = mask.find_last_of("/\\:");
    const std::string lastName = mask.substr(separator == std::string::npos ? 0 : separator + 1);
    if (dropped.empty())
        FUZZ_CHECK(lastName.find('.') == std::string::npos, "an extension was kept");
    else
        FUZZ_CHECK(dropped[0] == '.' && dropped.find('.', 1) == std::string::npos,
                   "not the last extension was dropped");
    return 0;
}
