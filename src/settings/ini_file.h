#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fk {

// A settings file in the INI format: "[Section]" lines and "key=value" lines. Sections and keys
// are found by name without regard to ASCII case, the first of several wins; names and values
// are trimmed of blanks. Every line the program does not touch — unknown keys and sections,
// comments, duplicates, lines it cannot read — is written back as it was, in its place.
// Values are read as UTF-8, or as Windows-1251 when they are not valid UTF-8; written as UTF-8.
class IniFile {
public:
    // Larger files are no settings file of this program.
    static constexpr uint64_t kMaxFileBytes = uint64_t(1) << 20;

    IniFile() = default;
    static IniFile parse(std::string_view bytes);
    // Nothing when the file does not exist; EReadError ("Unable to read %s. %s") when it exists
    // but cannot be read, is no regular file or is larger than kMaxFileBytes. Never blocks.
    static std::optional<IniFile> loadFile(const std::string& path);
    std::string serialize() const;

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // The keys of the section in file order, with their values.
    std::vector<std::pair<std::string, std::string>> entries(std::string_view section) const;
    // Replaces the key's value in place, or adds the key at the end of its section, or adds the
    // section at the end of the file. Line breaks in the value become blanks.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Adds the key at the end of its section (or a new section) without looking for it first.
    void appendValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every key of the section whose name begins with `prefix`, compared as written.
    void removeKeysWithPrefix(std::string_view section, std::string_view prefix);

private:
    struct Line {
        std::string text;   // as in the file, without the line break
        std::string key;    // empty when the line is no key
        std::string value;  // raw bytes, trimmed
    };
    struct Section {
        std::string name;
        Line header;
        std::vector<Line> lines;
    };

    static Line makeKeyLine(std::string_view key, std::string_view value);
    static void appendLine(Section& s, Line line);
    Section& sectionForWriting(std::string_view section);
    const Section* findSection(std::string_view name) const;
    Section* findSection(std::string_view name);

    std::vector<Line> m_preamble;  // lines before the first section
    std::vector<Section> m_sections;
};

}  // namespace fk
