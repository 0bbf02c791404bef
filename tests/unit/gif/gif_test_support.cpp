#include "gif_test_support.h"

#include <gtest/gtest.h>

#include <random>

#include "base/stream.h"
#include "support/test_support.h"

namespace fk::test {

std::vector<uint8_t> saveToBytes(TGIFImage& doc) {
    MemoryStream out;
    doc.SaveToStream(out);
    return out.takeBytes();
}

TGIFSubImage& addIndexedFrame(TGIFImage& doc, int width, int height,
                              const std::vector<uint8_t>& pixels, const std::vector<Color>& map) {
    auto frame = TGIFSubImage::CreateFor(doc);
    frame->setBounds(0, 0, width, height);
    std::copy(pixels.begin(), pixels.end(), frame->data());
    for (const Color& c : map)
        frame->colorMap().AppendColor(makeTColor(c.red, c.green, c.blue));
    TGIFSubImage& ref = *frame;
    doc.AddFrame(std::move(frame));
    return ref;
}

std::vector<uint8_t> randomIndexes(size_t count, int colors, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, colors - 1);
    std::vector<uint8_t> v(count);
    for (auto& x : v)
        x = uint8_t(pick(rng));
    return v;
}

std::vector<Color> randomColors(int count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Color> v(static_cast<size_t>(count));
    for (auto& c : v)
        c = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
    return v;
}

LzwTrace traceImageData(const uint8_t* data, size_t size) {
    LzwTrace t;
    if (size < 2) {
        ADD_FAILURE() << "image data too short";
        return t;
    }
    t.codeSize = data[0];
    std::vector<uint8_t> bytes;
    size_t pos = 1;
    while (true) {
        if (pos >= size) {
            ADD_FAILURE() << "no block terminator";
            return t;
        }
        size_t n = data[pos++];
        if (n == 0)
            break;
        if (pos + n > size) {
            ADD_FAILURE() << "sub-block runs past the end";
            return t;
        }
        t.blockSizes.push_back(n);
        bytes.insert(bytes.end(), data + pos, data + pos + n);
        pos += n;
    }
    t.bytesUsed = pos;

    const int clear = 1 << t.codeSize, end = clear + 1;
    std::vector<std::vector<uint8_t>> table;
    auto reset = [&] {
        table.assign(size_t(clear + 2), {});
        for (int i = 0; i < clear; ++i)
            table[size_t(i)] = {uint8_t(i)};
    };
    reset();
    int width = t.codeSize + 1;
    size_t bitPos = 0;
    int previous = -1;
    while (true) {
        if (bitPos + size_t(width) > bytes.size() * 8) {
            ADD_FAILURE() << "codes end without an end code";
            return t;
        }
        int code = 0;
        for (int b = 0; b < width; ++b, ++bitPos)
            code |= ((bytes[bitPos >> 3] >> (bitPos & 7)) & 1) << b;
        t.codes.push_back({code, width, int(table.size())});
        if (code == clear) {
            reset();
            width = t.codeSize + 1;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        std::vector<uint8_t> entry;
        if (code < int(table.size()) && (code < clear || code > end)) {
            entry = table[size_t(code)];
        } else if (code == int(table.size()) && previous >= 0) {
            entry = table[size_t(previous)];
            entry.push_back(entry[0]);
        } else {
            ADD_FAILURE() << "code " << code << " not in the table of " << table.size();
            return t;
        }
        t.pixels.insert(t.pixels.end(), entry.begin(), entry.end());
        if (previous >= 0 && table.size() < 4096) {
            std::vector<uint8_t> added = table[size_t(previous)];
            added.push_back(entry[0]);
            table.push_back(std::move(added));
            if (table.size() == (size_t(1) << width) && width < 12)
                ++width;
        }
        previous = code;
    }
    return t;
}

std::vector<uint8_t> giflibRawIndexes(const std::string& path) {
    const std::string out = path + ".raw";
    CommandResult r = runCommand("giftext -r " + shellQuote(path) + " > " + shellQuote(out));
    if (r.exitCode != 0) {
        ADD_FAILURE() << "giftext refuses " << path << ": " << r.output;
        return {};
    }
    return readFileBytes(out);
}

}  // namespace fk::test
