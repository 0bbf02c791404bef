// A GIF reader of the fuzz tests' own, independent of the writer: header, colour tables,
// extensions, one image, its data sub-blocks and a plain LZW decoder.
#pragma once

#include <array>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace fuzz {

struct GifFile {
    bool hasImage = false;
    int screenWidth = 0, screenHeight = 0;
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> colors;  // red, green, blue per entry of the table the image uses
    std::vector<uint8_t> indices;
};

class GifReader {
public:
    explicit GifReader(const std::vector<uint8_t>& file) : f(file) {}

    GifFile read() {
        FUZZ_CHECK(f.size() >= 13 && (std::memcmp(f.data(), "GIF87a", 6) == 0 ||
                                      std::memcmp(f.data(), "GIF89a", 6) == 0),
                   "GIF signature");
        pos = 6;
        GifFile g;
        g.screenWidth = u16();
        g.screenHeight = u16();
        const uint8_t packed = u8();
        u8();  // background colour
        u8();  // pixel shape
        std::vector<uint8_t> global;
        if (packed & 0x80)
            global = table(packed & 7);
        for (;;) {
            const uint8_t block = u8();
            if (block == 0x21) {
                u8();  // label
                skipSubBlocks();
                continue;
            }
            if (block == 0x3B) {
                FUZZ_CHECK(pos == f.size(), "%zu bytes after the trailer", f.size() - pos);
                return g;  // a file without images
            }
            FUZZ_CHECK(block == 0x2C, "block 0x%02x where an image belongs", block);
            break;
        }
        g.hasImage = true;
        g.left = u16();
        g.top = u16();
        g.width = u16();
        g.height = u16();
        const uint8_t local = u8();
        FUZZ_CHECK(!(local & 0x40), "interlaced");
        g.colors = (local & 0x80) ? table(local & 7) : global;
        FUZZ_CHECK(!g.colors.empty(), "no colour table");
        const int minCodeSize = u8();
        FUZZ_CHECK(minCodeSize >= 2 && minCodeSize <= 8, "LZW code size %d", minCodeSize);
        std::vector<uint8_t> codes;
        for (uint8_t n = u8(); n != 0; n = u8()) {
            need(n);
            codes.insert(codes.end(), f.begin() + long(pos), f.begin() + long(pos + n));
            pos += n;
        }
        g.indices = lzw(codes, minCodeSize, size_t(g.width) * g.height);
        FUZZ_CHECK(u8() == 0x3B, "no trailer");
        FUZZ_CHECK(pos == f.size(), "%zu bytes after the trailer", f.size() - pos);
        return g;
    }

private:
    void need(size_t n) const { FUZZ_CHECK(f.size() - pos >= n, "file ends at %zu", pos); }
    uint8_t u8() {
        need(1);
        return f[pos++];
    }
    int u16() {
        const int lo = u8();
        return lo | (u8() << 8);
    }
    std::vector<uint8_t> table(int sizeBits) {
        const size_t n = size_t(3) << (sizeBits + 1);
        need(n);
        std::vector<uint8_t> t(f.begin() + long(pos), f.begin() + long(pos + n));
        pos += n;
        return t;
    }
    void skipSubBlocks() {
        for (uint8_t n = u8(); n != 0; n = u8()) {
            need(n);
            pos += n;
        }
    }

    // Codes least significant bit first; the table of 4096 entries, a clear code resets it.
    static std::vector<uint8_t> lzw(const std::vector<uint8_t>& data, int minCodeSize,
                                    size_t pixels) {
        const int clear = 1 << minCodeSize, end = clear + 1;
        std::array<uint16_t, 4096> prefix{};
        std::array<uint8_t, 4096> suffix{}, first{};
        for (int i = 0; i < clear; ++i)
            suffix[size_t(i)] = first[size_t(i)] = uint8_t(i);
        int codeSize = minCodeSize + 1, next = end + 1, previous = -1;
        size_t bitPos = 0;
        std::vector<uint8_t> out, stack;
        for (;;) {
            FUZZ_CHECK(bitPos + size_t(codeSize) <= data.size() * 8, "no end code after %zu pixels",
                       out.size());
            int code = 0;
            for (int b = 0; b < codeSize; ++b, ++bitPos)
                code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << b;
            if (code == clear) {
                codeSize = minCodeSize + 1;
                next = end + 1;
                previous = -1;
                continue;
            }
            if (code == end)
                break;
            FUZZ_CHECK(code <= next && (previous >= 0 || code < clear), "code %d of %d", code,
                       next);
            int walk = code;
            uint8_t head;
            stack.clear();
            if (code == next) {
                FUZZ_CHECK(previous >= 0 && next < 4096, "code %d before any string", code);
                stack.push_back(first[size_t(previous)]);
                walk = previous;
            }
            while (walk >= clear) {
                stack.push_back(suffix[size_t(walk)]);
                walk = prefix[size_t(walk)];
            }
            head = uint8_t(walk);
            stack.push_back(head);
            out.insert(out.end(), stack.rbegin(), stack.rend());
            FUZZ_CHECK(out.size() <= pixels, "more than %zu pixels", pixels);
            if (previous >= 0 && next < 4096) {
                prefix[size_t(next)] = uint16_t(previous);
                suffix[size_t(next)] = head;
                first[size_t(next)] = first[size_t(previous)];
                ++next;
                if (next == (1 << codeSize) && codeSize < 12)
                    ++codeSize;
            }
            previous = code;
        }
        FUZZ_CHECK(out.size() == pixels, "%zu pixels decoded of %zu", out.size(), pixels);
        return out;
    }

    const std::vector<uint8_t>& f;
    size_t pos = 0;
};

}  // namespace fuzz
