#include "settings/text_encoding.h"

#include <cstdint>

#include "settings/cp1251_table.h"

namespace fk {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        const uint8_t c = uint8_t(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const uint8_t cc = uint8_t(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string cp1251ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const uint8_t c = uint8_t(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xC0)
            appendUtf8(out, kCp1251High[c - 0x80]);
        else
            appendUtf8(out, 0x0410 + (c - 0xC0));
    }
    return out;
}

std::string decodeSettingsText(std::string_view bytes) {
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return cp1251ToUtf8(bytes);
}

}  // namespace fk
