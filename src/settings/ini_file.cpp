#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exceptions.h"
#include "base/file.h"
#include "settings/text_encoding.h"

namespace fk {

namespace {

std::string_view trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

bool isBlank(const std::string& text) {
    return trim(text).empty();
}

// A line break inside a value would end the line and start a key of its own.
std::string singleLine(std::string_view value) {
    std::string text(value);
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    return text;
}

}  // namespace

IniFile IniFile::parse(std::string_view bytes) {
    IniFile ini;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find('\n', pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        std::string_view raw = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);

        const std::string_view t = trim(raw);
        if (!t.empty() && t.front() == '[') {
            const size_t close = t.rfind(']');
            if (close != std::string_view::npos) {
                Section s;
                s.name = std::string(trim(t.substr(1, close - 1)));
                s.header.text = std::string(raw);
                ini.m_sections.push_back(std::move(s));
                continue;
            }
        }
        Line line;
        line.text = std::string(raw);
        const size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && eq != std::string_view::npos) {
            line.key = std::string(trim(t.substr(0, eq)));
            if (!line.key.empty())
                line.value = std::string(trim(t.substr(eq + 1)));
        }
        (ini.m_sections.empty() ? ini.m_preamble : ini.m_sections.back().lines)
            .push_back(std::move(line));
    }
    return ini;
}

std::optional<IniFile> IniFile::loadFile(const std::string& path) {
    const auto refuse = [&path](const std::string& reason) {
        throw EReadError(formatMessage("Unable to read %s. %s", {path, reason}));
    };
    // Without blocking: a FIFO would hold the start until someone writes into it.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        if (errno == ENOENT)
            return std::nullopt;
        refuse(std::strerror(errno));
    }
    const int fd = file.get();
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        refuse(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        refuse(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode))
        refuse("Not a regular file");
    const auto tooLarge = [&refuse] { refuse("File too large (more than 1 MB)"); };
    if (uint64_t(st.st_size) > kMaxFileBytes)
        tooLarge();
    std::string bytes;
    bytes.reserve(size_t(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            refuse(std::strerror(errno));
        }
        bytes.append(buffer, size_t(n));
        // A file that grows while it is read.
        if (bytes.size() > kMaxFileBytes)
            tooLarge();
    }
    return parse(bytes);
}

std::string IniFile::serialize() const {
    std::string out;
    auto put = [&out](const std::string& text) {
        out += text;
        out += '\n';
    };
    for (const Line& l : m_preamble)
        put(l.text);
    for (const Section& s : m_sections) {
        put(s.header.text);
        for (const Line& l : s.lines)
            put(l.text);
    }
    return out;
}

const IniFile::Section* IniFile::findSection(std::string_view name) const {
    for (const Section& s : m_sections)
        if (sameName(s.name, name))
            return &s;
    return nullptr;
}

IniFile::Section* IniFile::findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const Section* s = findSection(section);
    if (!s)
        return std::nullopt;
    for (const Line& l : s->lines)
        if (!l.key.empty() && sameName(l.key, key))
            return decodeSettingsText(l.value);
    return std::nullopt;
}

std::vector<std::pair<std::string, std::string>> IniFile::entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> result;
    if (const Section* s = findSection(section)) {
        for (const Line& l : s->lines)
            if (!l.key.empty())
                result.emplace_back(decodeSettingsText(l.key), decodeSettingsText(l.value));
    }
    return result;
}

IniFile::Section& IniFile::sectionForWriting(std::string_view section) {
    Section* s = findSection(section);
    if (!s) {
        // A blank line between sections, as the file would have it when written by hand.
        std::vector<Line>& last = m_sections.empty() ? m_preamble : m_sections.back().lines;
        const bool empty = m_sections.empty() && m_preamble.empty();
        if (!empty && (last.empty() || !isBlank(last.back().text)))
            last.push_back({});
        Section fresh;
        fresh.name = std::string(section);
        fresh.header.text = "[" + fresh.name + "]";
        m_sections.push_back(std::move(fresh));
        s = &m_sections.back();
    }
    return *s;
}

IniFile::Line IniFile::makeKeyLine(std::string_view key, std::string_view value) {
    const std::string clean = singleLine(value);
    return Line{std::string(key) + "=" + clean, std::string(key), std::string(trim(clean))};
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    Section& s = sectionForWriting(section);
    for (Line& l : s.lines) {
        if (!l.key.empty() && sameName(l.key, key)) {
            l = makeKeyLine(key, value);
            return;
        }
    }
    appendLine(s, makeKeyLine(key, value));
}

void IniFile::appendValue(std::string_view section, std::string_view key, std::string_view value) {
    appendLine(sectionForWriting(section), makeKeyLine(key, value));
}

void IniFile::appendLine(Section& s, Line line) {
    // New keys go after the section's last non-blank line, so blank separators stay at its end.
    size_t at = s.lines.size();
    while (at > 0 && isBlank(s.lines[at - 1].text))
        --at;
    s.lines.insert(s.lines.begin() + ptrdiff_t(at), std::move(line));
}

void IniFile::removeKeysWithPrefix(std::string_view section, std::string_view prefix) {
    Section* s = findSection(section);
    if (!s)
        return;
    std::erase_if(s->lines, [prefix](const Line& l) {
        return !l.key.empty() && std::string_view(l.key).substr(0, prefix.size()) == prefix;
    });
}

}  // namespace fk
