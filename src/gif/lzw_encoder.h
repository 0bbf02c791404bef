#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "gif/gif_encoder.h"
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

}  // namespace fk
