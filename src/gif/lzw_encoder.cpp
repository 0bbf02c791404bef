#include "gif/lzw_encoder.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

#include "gif/gif_messages.h"
#include "gif/lzw_lanes.h"

namespace fk {

namespace {

// The last code the string table hands out; 4095 is never used.
constexpr uint32_t kLastCode = 4094;

}  // namespace

THashTable::THashTable() : m_slots(new uint32_t[kSlots]) {
    Clear();
}

void THashTable::Clear() {
    std::fill_n(m_slots.get(), kSlots, kEmpty);
}

bool THashTable::StoreCode(uint32_t key, uint32_t code) {
    int slot = KeyHash(key);
    for (int probes = 0; probes < kMaxProbes; ++probes) {
        if ((m_slots[slot] >> 12) == (kEmpty >> 12)) {
            StoreAt(slot, key, code);
            return true;
        }
        slot = NextProbe(slot);
    }
    return false;
}

void TLZWEncoder::adjustWidth() {
    if (m_clearPending) {
        m_codeWidth = m_initialCodeWidth;
        m_largestCode = (1u << m_initialCodeWidth) - 1;
        m_clearPending = false;
    } else {
        ++m_codeWidth;
        // Codes stop at 4094, so the width never has to pass 12 bits.
        m_largestCode = m_codeWidth == 12 ? 4096 : (1u << m_codeWidth) - 1;
    }
}

void TLZWEncoder::EmitCode(uint32_t code) {
    TGIFEncoder::EmitCode(code);
    // A code sent while the next free code has just passed the largest still goes out at the old
    // width; the width grows after it, in step with the decoder.
    if (m_nextCode > m_largestCode || m_clearPending)
        adjustWidth();
}

void TLZWEncoder::Restart() {
    TGIFEncoder::Restart();
    m_table->Clear();
    m_nextCode = m_clearCode + 2;
    m_sameCount.fill(0);
}

namespace {

// The end of the run of `colour` that starts at p[i], at most n.
size_t runEnd(const uint8_t* p, size_t i, size_t n, uint8_t colour) {
    const uint64_t all = 0x0101010101010101u * colour;
    while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        const uint64_t diff = word ^ all;
        if (diff != 0) {
            // The lowest byte that differs is the first one in memory on a little-endian
            // machine; elsewhere the bytes are looked at one by one.
            if constexpr (std::endian::native == std::endian::little)
                return i + size_t(std::countr_zero(diff) / 8);
            break;
        }
        i += 8;
    }
    while (i < n && p[i] == colour)
        ++i;
    return i;
}

// Where the first run of at least 8 pixels of one colour at or after p[i] starts, or n.
size_t longRunFrom(const uint8_t* p, size_t i, size_t n) {
    size_t m = i, start = n;
    if (!lanes::findEightEqual(p, m, n, start)) {
        for (size_t same = 1; m + 1 < n; ++m) {
            same = p[m + 1] == p[m] ? same + 1 : 1;
            if (same == 8) {
                start = m + 1 - 7;
                break;
            }
        }
        if (start == n)
            return n;
    }
    while (start > i && p[start - 1] == p[start])
        --start;
    return start;
}

}  // namespace

template <bool Checked, bool Bounded>
void TLZWEncoder::encodeRun(const uint8_t* p, size_t n) {
    uint32_t* const slots = m_table->Slots();
    TGIFWriter& writer = *m_writer;
    const uint32_t colorCount = uint32_t(std::max(m_colorCount, 0));
    // The coding state lives in registers here and goes back to the members around every call
    // that uses them (a restart, a run, an error).
    uint32_t prefix = m_prefix;
    uint64_t accumulator = m_accumulator;
    int pendingBits = m_pendingBits;
    int codeWidth = m_codeWidth;
    uint32_t largestCode = m_largestCode;
    uint32_t nextCode = m_nextCode;
    auto store = [&] {
        m_prefix = prefix;
        m_accumulator = accumulator;
        m_pendingBits = pendingBits;
        m_codeWidth = codeWidth;
        m_largestCode = largestCode;
        m_nextCode = nextCode;
    };
    auto load = [&] {
        prefix = m_prefix;
        accumulator = m_accumulator;
        pendingBits = m_pendingBits;
        codeWidth = m_codeWidth;
        largestCode = m_largestCode;
        nextCode = m_nextCode;
    };

    // One pixel through the table; true when it started a new prefix.
    auto step = [&](size_t i) __attribute__((always_inline)) {
        const uint32_t c = p[i];
        if (Checked && c >= colorCount) {
            store();
            colorNotInTable();
        }
        const uint32_t key = (prefix << 8) | c;
        int slot = THashTable::KeyHashOf(prefix, c);
        uint32_t code = 0;
        if (THashTable::LookupIn<Bounded>(slots, slot, key, code, slot)) {
            prefix = code;
            return false;
        }
        // EmitCode(prefix), then the width follows the next free code.
        accumulator |= uint64_t(prefix) << pendingBits;
        pendingBits += codeWidth;
        if (pendingBits >= 32) {
            writer.put4(uint32_t(accumulator));
            accumulator >>= 32;
            pendingBits -= 32;
        }
        if (nextCode > largestCode) {
            ++codeWidth;
            largestCode = codeWidth == 12 ? 4096 : (1u << codeWidth) - 1;
        }
        prefix = c;
        if (nextCode > kLastCode) {
            store();
            Restart();
            load();
        } else {
            if (slot >= 0)
                THashTable::StoreIn(slots, slot, key, nextCode);
            ++nextCode;
        }
        return true;
    };

    for (size_t i = 0; i < n;) {
        // Up to the next long run of one colour the table is asked pixel by pixel; in the run,
        // once a new prefix starts there, the run is taken through that colour's list.
        const size_t runAt = longRunFrom(p, i, n);
        for (; i < runAt; ++i)
            step(i);
        if (i == n)
            break;
        const size_t end = runEnd(p, runAt, n, p[runAt]);
        for (; i < end; ++i) {
            if (step(i) && i + 1 < end) {
                store();
                i = throughRun(p, i + 1, n);
                load();
                break;
            }
        }
    }
    store();
}

// The prefix is the single pixel before p[i], of the same colour. The table only gains strings
// until the next restart, and those of one colour are entered in order of length, so the list of
// them stays right once looked up; the run then reaches through them without asking the table
// per pixel. Returns where the run ends; the prefix is then a string of that colour.
size_t TLZWEncoder::throughRun(const uint8_t* p, size_t i, size_t n) {
    const uint32_t c = p[i];
    const size_t end = runEnd(p, i, n, uint8_t(c));
    // known[k] is the string of k + 2 pixels; those entered since the list was last brought up
    // to date are looked up now.
    uint16_t* known = &m_sameColour[c * kCodes];
    uint16_t& count = m_sameCount[c];
    for (;;) {
        const uint32_t last = count ? known[count - 1] : c;
        const int code = m_table->FindCode((last << 8) | c);
        if (code < 0)
            break;
        known[count++] = uint16_t(code);
    }
    size_t length = 1;
    for (;;) {
        const size_t take = std::min(end - i, size_t(count) + 1 - length);
        length += take;
        i += take;
        m_prefix = length == 1 ? c : known[length - 2];
        if (i == end)
            return i;
        // One pixel longer than any string of this colour.
        const uint32_t key = (m_prefix << 8) | c;
        uint32_t code = 0;
        int slot = THashTable::KeyHashOf(m_prefix, c);
        [[maybe_unused]] const bool found = m_table->LookupFrom(slot, key, code, slot);
        assert(!found);
        TLZWEncoder::EmitCode(m_prefix);
        if (m_nextCode > kLastCode) {
            Restart();
        } else {
            if (slot >= 0) {
                m_table->StoreAt(slot, key, m_nextCode);
                known[count++] = uint16_t(m_nextCode);
            }
            ++m_nextCode;
        }
        m_prefix = c;
        length = 1;
        if (++i == end)
            return i;
    }
}

void TLZWEncoder::beginPixels() {
    m_table = std::make_unique<THashTable>();
    if (!m_sameColour)
        m_sameColour = std::make_unique_for_overwrite<uint16_t[]>(size_t(256) * kCodes);
    m_sameCount.fill(0);
    Restart();
    m_started = false;
}

void TLZWEncoder::addPixels(const uint8_t* p, size_t n) {
    if (n == 0)
        return;
    if (!m_started) {
        m_prefix = p[0];
        if (m_prefix >= uint32_t(std::max(m_colorCount, 0)))
            colorNotInTable();
        m_started = true;
        ++p;
        --n;
    }
    // Bytes cannot exceed a full map, so only smaller maps need the test per pixel. From code
    // size 7 on, a table holds at most 4093 - 128 strings, fewer than the 4004 slots of a probe
    // sequence, so a walk needs no count of its probes.
    if (m_colorCount < 256)
        m_codeSize >= 7 ? encodeRun<true, false>(p, n) : encodeRun<true, true>(p, n);
    else
        m_codeSize >= 7 ? encodeRun<false, false>(p, n) : encodeRun<false, true>(p, n);
}

void TLZWEncoder::endPixels() {
    EmitCode(m_prefix);
    m_table.reset();
}

void TLZWEncoder::EncodePixels() {
    beginPixels();
    walkPixels([&](const uint8_t* p, size_t n) { addPixels(p, n); });
    endPixels();
}

void TLZWEncoder::BeginFrame(Stream& stream, int codeBits, int colorCount, int height, int width) {
    startFrame(stream, codeBits, colorCount, nullptr, false, height, width);
    try {
        if (height > 0 && width > 0)
            beginPixels();
    } catch (...) {
        abandonFrame();
        throw;
    }
}

void TLZWEncoder::AddPixels(const uint8_t* pixels, size_t count) {
    if (!m_writer)
        throw GIFException(gif_text::kInvalidStreamOperation);
    try {
        addPixels(pixels, count);
    } catch (...) {
        abandonFrame();
        throw;
    }
}

void TLZWEncoder::EndFrame() {
    if (!m_writer)
        throw GIFException(gif_text::kInvalidStreamOperation);
    try {
        if (m_table)
            endPixels();
        finishFrame();
    } catch (...) {
        abandonFrame();
        throw;
    }
}

}  // namespace fk
