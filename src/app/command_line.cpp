#include "app/command_line.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <utility>

#include "app/language.h"
#include "capture/naming.h"
#include "capture/region.h"
#include "settings/list_entries.h"

namespace fk {

namespace {

struct Option {
    const char* word;
    Command command;
    const char* method;  // of the running copy's D-Bus interface
    const char* help;
};

constexpr std::array<Option, 9> kOptions{{
    {"--screen", Command::Screen, "Screen", "a picture of the whole screen; prints its path"},
    {"--window", Command::Window, "Window", "a picture of the window in front; prints its path"},
    {"--region", Command::Region, "Region",
     "a picture of a region chosen on the screen, or of X,Y,W,H (pixels), or of the last one\n"
     "              (--region last); prints its path"},
    {"--series", Command::Series, "Series", "starts or stops the timed series"},
    {"--video", Command::Video, "Video",
     "starts or stops the video; the stop prints the video's path once it is written"},
    {"--show", Command::Show, "Show", "shows the window of the running copy"},
    {"--quit", Command::Quit, "Quit", "ends the running copy as its close button does"},
    {"--help", Command::Help, "", "prints this text"},
    {"--version", Command::Version, "", "prints the version"},
}};

}  // namespace

namespace {

constexpr std::pair<const char*, PictureFormat> kFormatWords[] = {
    {"jpg", PictureFormat::Jpeg}, {"jpeg", PictureFormat::Jpeg}, {"bmp", PictureFormat::Bmp},
    {"wmf", PictureFormat::Wmf},  {"png", PictureFormat::Png},   {"gif", PictureFormat::Gif},
    {"tif", PictureFormat::Tiff}, {"tiff", PictureFormat::Tiff}};

PictureFormat formatOfWord(std::string word) {
    for (char& c : word)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& [name, format] : kFormatWords)
        if (word == name)
            return format;
    return PictureFormat::NotSelected;
}

// The options that go with a picture's command; `value` is the word after the option, which
// those that take one consume. Returns false for a word that is none of them.
bool shotOption(const std::string& word, const std::string* value, bool& consumed,
                ShotOptions& shot, std::string& error) {
    consumed = false;
    if (word == "--clipboard") {
        shot.clipboard = true;
        return true;
    }
    if (word == "--all-monitors") {
        shot.allMonitors = true;
        return true;
    }
    if (word != "--output" && word != "--format" && word != "--delay")
        return false;
    if (!value) {
        error = word + " needs a value";
        return true;
    }
    consumed = true;
    if (word == "--output") {
        shot.output = *value;
        if (shot.output.empty())
            error = "--output needs a file name, or - for standard output";
    } else if (word == "--format") {
        shot.format = formatOfWord(*value);
        if (shot.format == PictureFormat::NotSelected)
            error = "'" + *value + "' is no format: give jpg, bmp, wmf, png, gif or tif";
    } else {
        char* end = nullptr;
        const long seconds = std::strtol(value->c_str(), &end, 10);
        if (value->empty() || *end != '\0' || seconds < 0 || seconds > 86400)
            error = "'" + *value + "' is no delay: give whole seconds, 0 to 86400";
        else
            shot.delaySeconds = int(seconds);
    }
    return true;
}

std::string checkShotOptions(const CommandLine& line) {
    const ShotOptions& s = line.shot;
    const bool picture = line.command == Command::Screen || line.command == Command::Window ||
                         line.command == Command::Region;
    if (s.clipboard && !picture)
        return "--clipboard goes with --screen, --window or --region";
    if ((!s.output.empty() || s.format != PictureFormat::NotSelected || s.delaySeconds >= 0) &&
        !picture)
        return "--output, --format and --delay go with --screen, --window or --region";
    if (!s.output.empty() && s.output != "-" && s.format == PictureFormat::NotSelected &&
        formatOfName(s.output) == PictureFormat::NotSelected)
        return "'" + s.output +
               "' names no format by its extension: end it in .jpg, .bmp, .wmf, .png, .gif or "
               ".tif, or give --format";
    if (s.allMonitors && line.command != Command::Screen)
        return "--all-monitors goes with --screen";
    if (!s.region.empty() && s.region != "last" && !parseRegion(s.region))
        return "'" + s.region + "' is no region: give X,Y,W,H in pixels, or last";
    return {};
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words) {
    CommandLine result;
    bool commandGiven = false;
    for (size_t i = 0; i < words.size(); ++i) {
        bool consumed = false;
        const std::string* value = i + 1 < words.size() ? &words[i + 1] : nullptr;
        if (words[i] == "--lang") {
            if (!value || !isLanguage(*value)) {
                result.error = value ? "'" + *value + "' is no language: give en or ru"
                                     : "--lang needs a value";
                return result;
            }
            result.language = *value;
            ++i;
            continue;
        }
        if (shotOption(words[i], value, consumed, result.shot, result.error)) {
            if (!result.error.empty())
                return result;
            i += consumed ? 1 : 0;
            continue;
        }
        if (commandGiven) {
            result.error = "only one option at a time: '" + words[i] + "' is one too many";
            return result;
        }
        const Option* found = nullptr;
        for (const Option& o : kOptions)
            if (words[i] == o.word)
                found = &o;
        if (!found) {
            result.error = "unknown option '" + words[i] + "'";
            return result;
        }
        result.command = found->command;
        commandGiven = true;
        // The region's word, when one follows.
        if (result.command == Command::Region && i + 1 < words.size() &&
            words[i + 1].rfind("--", 0) != 0)
            result.shot.region = words[++i];
    }
    result.error = checkShotOptions(result);
    return result;
}

ShotRequest shotRequestOf(const ShotOptions& options, const std::string& mask) {
    ShotRequest request;
    request.output = options.output;
    request.format = options.format;
    if (request.format == PictureFormat::NotSelected && options.output != "-")
        request.format = formatOfName(options.output);
    if (options.output.empty() && request.format != PictureFormat::NotSelected)
        for (const char* entry : kPictureFormatEntries)
            if (pictureFormatOf(entry) == request.format)
                request.mask = RewriteMaskExtension(mask, entry);
    if (options.delaySeconds >= 0)
        request.delaySeconds = options.delaySeconds;
    return request;
}

std::string formatWord(PictureFormat format) {
    for (const auto& [name, f] : kFormatWords)
        if (f == format)
            return name;
    return {};
}

PictureFormat formatOfName(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
        return PictureFormat::NotSelected;
    return formatOfWord(name.substr(dot + 1));
}

std::string usageText() {
    std::string text =
        "Usage: fotokran [OPTION]\n"
        "Screenshots and GIF screen recordings. Without an option the program starts (or the\n"
        "running copy's window comes forward). An option is handed to the copy running in this\n"
        "session and runs there as its hot key would; with none running, --screen and --window\n"
        "take the picture with the stored settings and end, the others start the program.\n\n";
    for (const Option& o : kOptions) {
        std::string word = o.word;
        word.resize(12, ' ');
        text += "  " + word + o.help + "\n";
    }
    text +=
        "\nWith any option, or none:\n"
        "  --lang en|ru  the interface's language for this run; config.ini keeps its own\n"
        "\nWith --screen, --window or --region:\n"
        "  --clipboard   puts the picture also on the clipboard (image/png and the file's\n"
        "                text/uri-list). With no copy of Fotokran running, the command returns\n"
        "                once the picture is written and leaves a process in the background that\n"
        "                holds the clipboard until another program takes it (as xclip does).\n"
        "  --output FILE the picture goes to FILE (its format from the extension: jpg, bmp, wmf,\n"
        "                png, gif, tif) instead of the next file of the mask; - writes it to\n"
        "                standard output. The running number stays.\n"
        "  --format FMT  the picture in FMT (jpg, bmp, wmf, png, gif or tif), whatever the\n"
        "                window selects; the mask's extension follows.\n"
        "  --delay SECS  waits SECS seconds before the picture instead of the stored delay.\n"
        "With --screen:\n"
        "  --all-monitors  the whole desktop across every monitor instead of the primary one.\n";
    text += "\nExit status: 0 done, 1 the command failed, 2 bad usage.\n";
    return text;
}

std::string versionText() {
    return "Fotokran 0.7\n";
}

const char* nothingWritten(Command command) {
    return command == Command::Window
               ? "no picture was written (no window in front, or no output format is selected)"
               : "no picture was written (no output format is selected)";
}

const char* remoteMethod(Command command) {
    for (const Option& o : kOptions)
        if (o.command == command)
            return o.method;
    return "";
}

}  // namespace fk
