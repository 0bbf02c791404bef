#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/stream.h"
#include "gif/gif_base.h"
#include "gif/lzw_tables.h"

namespace fk {

// The LZW string table: open addressing over a prime number of 32-bit slots. An occupied slot
// holds key * 4096 + code, the key being prefix code * 256 + pixel; an empty slot is all ones.
class THashTable {
public:
    static constexpr int kSlots = 8009;
    // 2 has order 4004 modulo 8009, so no probe sequence visits more slots than this.
    static constexpr int kMaxProbes = 4005;
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;

    THashTable();

    void Clear();
    static int KeyHash(uint32_t key) { return int((key ^ (key >> 4)) % uint32_t(kSlots)); }
    // KeyHash(prefix * 256 + pixel) without a division, for a prefix below 4096.
    static int KeyHashOf(uint32_t prefix, uint32_t pixel) {
        int h = kLzwPrefixHash[prefix] + int((((prefix & 0xF) << 4) ^ pixel ^ (pixel >> 4)));
        return h >= kSlots ? h - kSlots : h;
    }
    static int NextProbe(int slot) {
        if (slot == 0)
            return kSlots - 1;
        int next = 2 * slot - kSlots;
        return next >= 0 ? next : 2 * slot;
    }
    // False when the key's whole probe sequence is occupied: the string then stays unknown, which
    // costs compression but keeps the codes in step with any decoder.
    bool StoreCode(uint32_t key, uint32_t code);
    // The code stored for the key, or -1.
    int FindCode(uint32_t key) const {
        uint32_t code = 0;
        int slot = 0;
        return Lookup(key, code, slot) ? int(code) : -1;
    }

    // One walk for both: true with the key's code when it is stored; otherwise `slot` is the
    // empty slot where StoreCode would put it, or -1 when the whole probe sequence is occupied.
    bool Lookup(uint32_t key, uint32_t& code, int& slot) const {
        return LookupFrom(KeyHash(key), key, code, slot);
    }
    // The same, given KeyHash(key) as `home`. `Bounded` false is for a table known to hold
    // fewer strings than a probe sequence has slots, whose walk always meets an empty slot.
    template <bool Bounded = true>
    bool LookupFrom(int home, uint32_t key, uint32_t& code, int& slot) const {
        return LookupIn<Bounded>(m_slots.get(), home, key, code, slot);
    }
    // The same over the slots Slots() gives, for a caller that keeps their address at hand.
    template <bool Bounded = true>
    static bool LookupIn(const uint32_t* slots, int home, uint32_t key, uint32_t& code, int& slot) {
        int s = home;
        for (int probes = 0; !Bounded || probes < kMaxProbes; ++probes) {
            const uint32_t v = slots[s];
            if ((v >> 12) == key) {
                code = v & 0xFFF;
                return true;
            }
            if ((v >> 12) == (kEmpty >> 12)) {
                slot = s;
                return false;
            }
            s = NextProbe(s);
        }
        slot = -1;
        return false;
    }
    void StoreAt(int slot, uint32_t key, uint32_t code) { StoreIn(m_slots.get(), slot, key, code); }
    static void StoreIn(uint32_t* slots, int slot, uint32_t key, uint32_t code) {
        slots[slot] = (key << 12) | (code & 0xFFF);
    }
    // Stays the same for the table's life.
    uint32_t* Slots() { return m_slots.get(); }

private:
    std::unique_ptr<uint32_t[]> m_slots;
};

// A stream adaptor over another stream that only passes writes on.
class TGIFStream : public Stream {
public:
    explicit TGIFStream(Stream& target) : m_target(target) {}

    size_t read(void* buffer, size_t n) override;
    void write(const void* buffer, size_t n) override;
    uint64_t position() const override;
    void seek(uint64_t position) override;
    uint64_t size() const override;

protected:
    Stream& m_target;
};

// Cuts the bytes written to it into data sub-blocks (a length byte and 1 to 255 bytes).
class TGIFWriter final : public TGIFStream {
public:
    explicit TGIFWriter(Stream& target) : TGIFStream(target) {}

    void write(const void* buffer, size_t n) override;
    void putByte(uint8_t b) {
        m_buffer[m_fill++] = b;
        if (m_fill == sizeof(m_buffer))
            FlushBlock();
    }
    // Four bytes, lowest first.
    void put4(uint32_t v) {
        if (m_fill + 4 < sizeof(m_buffer)) {
            m_buffer[m_fill] = uint8_t(v);
            m_buffer[m_fill + 1] = uint8_t(v >> 8);
            m_buffer[m_fill + 2] = uint8_t(v >> 16);
            m_buffer[m_fill + 3] = uint8_t(v >> 24);
            m_fill += 4;
            return;
        }
        for (int i = 0; i < 4; ++i, v >>= 8)
            putByte(uint8_t(v));
    }
    void FlushBlock();
    // Writes out the last, partly filled sub-block.
    void finish() {
        if (m_fill > 1)
            FlushBlock();
    }

private:
    uint8_t m_buffer[256];
    size_t m_fill = 1;  // the first byte is kept for the length
};

// Writes the image data of one frame: the code size byte, the codes in sub-blocks, the terminator.
class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;

    // `pixels` holds width * height colour indexes, top row first; each must be below colorCount.
    void EncodeFrameData(Stream& stream, int codeBits, int colorCount, const uint8_t* pixels,
                         bool interlace, int height, int width);

protected:
    virtual void EmitCode(uint32_t code);
    virtual void Restart();
    virtual void EncodePixels() = 0;

    // Writes the code size byte and sets up the coding state and the sub-block packer.
    void startFrame(Stream& stream, int codeBits, int colorCount, const uint8_t* pixels,
                    bool interlace, int height, int width);
    // The end code, the last sub-block and the terminator.
    void finishFrame();
    // After an error: what was coded so far still reaches the stream, without a terminator.
    void abandonFrame() noexcept;

    // Calls `row(first, count)` for each run of pixels in the order the decoder expects them:
    // the whole buffer at once, or row by row in the four interlace passes.
    template <typename Row>
    void walkPixels(Row&& row) const;

    [[noreturn]] static void colorNotInTable();

    // Codes are packed least significant bit first. Whole bytes leave the accumulator four at a
    // time; the rest goes with the end code, or when an error stops the frame.
    void putBits(uint32_t code) {
        m_accumulator |= uint64_t(code) << m_pendingBits;
        m_pendingBits += m_codeWidth;
        if (m_pendingBits >= 32) {
            m_writer->put4(uint32_t(m_accumulator));
            m_accumulator >>= 32;
            m_pendingBits -= 32;
        }
    }
    // Hands over the whole bytes pending; with `padLast` also the last, partial byte.
    void flushBits(bool padLast);

    int m_colorCount = 0;
    int m_codeSize = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_interlace = false;
    const uint8_t* m_pixels = nullptr;
    Stream* m_stream = nullptr;
    std::unique_ptr<TGIFWriter> m_writer;
    uint64_t m_accumulator = 0;
    int m_pendingBits = 0;
    int m_codeWidth = 0;
    int m_initialCodeWidth = 0;
    uint32_t m_largestCode = 0;
    uint32_t m_clearCode = 0;
    uint32_t m_endCode = 0;
    bool m_clearPending = false;
};

class TLZWEncoder final : public TGIFEncoder {
public:
    // The image data of a frame that is not interlaced, handed over in pieces as its rows
    // become ready, top row first: BeginFrame, AddPixels until width * height pixels have been
    // given, EndFrame. The bytes are those EncodeFrameData writes. After an error the frame is
    // ended as EncodeFrameData ends it and the encoder takes no more pixels.
    void BeginFrame(Stream& stream, int codeBits, int colorCount, int height, int width);
    void AddPixels(const uint8_t* pixels, size_t count);
    void EndFrame();

protected:
    void EmitCode(uint32_t code) override;
    void Restart() override;
    void EncodePixels() override;

private:
    void adjustWidth();
    void beginPixels();
    void addPixels(const uint8_t* p, size_t n);
    void endPixels();
    // The string table walk over a run of pixels; `Checked` tests each index against the colours.
    template <bool Checked, bool Bounded>
    void encodeRun(const uint8_t* p, size_t n);
    size_t throughRun(const uint8_t* p, size_t i, size_t n);

    uint32_t m_nextCode = 0;
    std::unique_ptr<THashTable> m_table;
    bool m_started = false;  // the first pixel has been read
    uint32_t m_prefix = 0;
    // The codes of the strings of 2, 3, ... pixels of colour c known so far (row c of
    // m_sameColour), so that a run of one colour needs no table look-up per pixel.
    static constexpr size_t kCodes = 4096;
    std::array<uint16_t, 256> m_sameCount{};
    std::unique_ptr<uint16_t[]> m_sameColour;
};

// Writes every pixel as a literal code and a clear code often enough that the code width never
// grows: no string table, and any decoder reads it.
class TRLEEncoder final : public TGIFEncoder {
protected:
    void EncodePixels() override;
};

}  // namespace fk
