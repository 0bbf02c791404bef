#include "jpeg/jpeg_entropy.h"

#include <bit>
#include <cstring>
#include <memory>

namespace fk::jpeg {

namespace {

// Whether the code a table gives the end-of-block symbol (0) ends in a zero bit. Codes are given
// in order of length, each one more than the one before, doubled at each longer length.
bool endOfBlockEndsInZero(const JHUFF_TBL& table) {
    unsigned code = 0;
    int p = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length] && p < 256; ++i, ++p, ++code)
            if (table.huffval[p] == 0)
                return (code & 1) == 0;
        code <<= 1;
    }
    return false;
}

BandCoder& coderOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<BandCoder*>(cinfo->entropy);
}

// The library's coder finds its own state through cinfo->entropy: it is put back there for each
// call.
template <typename Call>
auto asLibrary(j_compress_ptr cinfo, BandCoder& c, Call call) {
    cinfo->entropy = c.library;
    const auto result = call(*c.library);
    cinfo->entropy = &c.pub;
    return result;
}

void startPass(j_compress_ptr cinfo, boolean gatherStatistics) {
    asLibrary(cinfo, coderOf(cinfo), [&](jpeg_entropy_encoder& library) {
        library.start_pass(cinfo, gatherStatistics);
        return 0;
    });
}

void finishPass(j_compress_ptr cinfo) {
    asLibrary(cinfo, coderOf(cinfo), [&](jpeg_entropy_encoder& library) {
        library.finish_pass(cinfo);
        return 0;
    });
}

boolean encodeMcu(j_compress_ptr cinfo, JBLOCKROW* data) {
    BandCoder& c = coderOf(cinfo);
    if (c.aboveMcus > 0) {
        --c.aboveMcus;
        for (int b = 0; b < c.blocks; ++b)
            c.lastDc[c.component[b]] = data[b][0][0];
        return TRUE;
    }
    for (int b = 0; b < c.blocks; ++b)
        data[b][0][0] = JCOEF(data[b][0][0] - c.lastDc[c.component[b]]);
    c.endsWithEndOfBlock = data[c.blocks - 1][0][DCTSIZE2 - 1] == 0;
    return asLibrary(
        cinfo, c, [&](jpeg_entropy_encoder& library) { return library.encode_mcu(cinfo, data); });
}

// Bits, most significant first, into bytes that are stuffed later; the state is a local copy the
// compiler keeps in registers (stores of bytes could alias fields).
struct BitWriter {
    uint64_t acc = 0;
    int count = 0;
    uint8_t* to = nullptr;

    // `bits` holds no more than its low `n` (at most 32) bits.
    void put(uint32_t bits, int n) {
        acc = (acc << n) | bits;
        count += n;
        if (count >= 32) {
            count -= 32;
            const uint32_t word = __builtin_bswap32(uint32_t(acc >> count));
            std::memcpy(to, &word, 4);
            to += 4;
        }
    }
    // Writes the whole bytes left; the last (count < 8) bits stay.
    void flushBytes() {
        for (; count >= 8; count -= 8)
            *to++ = uint8_t(acc >> (count - 8));
    }
};

// A scan's data without the zero bytes stuffed after each 0xFF, copied a run at a time.
void unstuff(const uint8_t* from, const uint8_t* end, std::vector<uint8_t>& into) {
    into.clear();
    into.reserve(size_t(end - from));
    while (from < end) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(from, 0xFF, size_t(end - from)));
        const uint8_t* upTo = ff ? ff + 1 : end;
        into.insert(into.end(), from, upTo);
        from = upTo + (ff && upTo < end && *upTo == 0 ? 1 : 0);
    }
}

// The same with a zero byte after each 0xFF, as the scan's data holds it.
void stuff(const uint8_t* from, const uint8_t* end, std::vector<uint8_t>& into) {
    while (from < end) {
        const auto* ff = static_cast<const uint8_t*>(std::memchr(from, 0xFF, size_t(end - from)));
        const uint8_t* upTo = ff ? ff + 1 : end;
        into.insert(into.end(), from, upTo);
        if (ff)
            into.push_back(0);
        from = upTo;
    }
}

}  // namespace

void installBandCoder(j_compress_ptr cinfo, BandCoder& coder, int aboveRows) {
    coder.library = cinfo->entropy;
    coder.pub.start_pass = startPass;
    coder.pub.encode_mcu = encodeMcu;
    coder.pub.finish_pass = finishPass;
    coder.blocks = cinfo->blocks_in_MCU;
    coder.endOfBlockEndsInZero = true;
    for (int b = 0; b < coder.blocks; ++b) {
        const int ci = cinfo->MCU_membership[b];
        coder.component[b] = ci;
        const JHUFF_TBL* ac = cinfo->ac_huff_tbl_ptrs[cinfo->cur_comp_info[ci]->ac_tbl_no];
        coder.endOfBlockEndsInZero = coder.endOfBlockEndsInZero && ac && endOfBlockEndsInZero(*ac);
    }
    for (int& dc : coder.lastDc)
        dc = 0;
    // The rows of an MCU: the component's blocks in a scan of one, else the MCU's.
    const int mcuRows = cinfo->comps_in_scan == 1 ? DCTSIZE * cinfo->max_v_samp_factor /
                                                        cinfo->cur_comp_info[0]->v_samp_factor
                                                  : DCTSIZE * cinfo->max_v_samp_factor;
    coder.aboveMcus = long(aboveRows / mcuRows) * long(cinfo->MCUs_per_row);
    coder.endsWithEndOfBlock = false;
    cinfo->entropy = &coder.pub;
}

size_t scanDataStart(const std::vector<uint8_t>& file, size_t& frame) {
    frame = 0;
    size_t at = 2;  // after the start of image
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        const uint8_t marker = file[at + 1];
        const size_t length = size_t(file[at + 2]) << 8 | file[at + 3];
        if (marker == 0xC0 || marker == 0xC1)
            frame = at;
        at += 2 + length;
        if (marker == 0xDA)
            return at <= file.size() ? at : 0;
    }
    return 0;
}

bool joinBands(std::vector<BandOutput>& bands, std::vector<uint8_t>& out) {
    std::vector<uint8_t> plain;
    std::unique_ptr<uint8_t[]> joined;  // the bands after the first, not yet stuffed
    BitWriter w;
    for (size_t i = 0; i < bands.size(); ++i) {
        BandOutput& band = bands[i];
        size_t frame;
        const size_t start = scanDataStart(band.file, frame);
        // The data, without the end of image.
        if (!start || band.file.size() < start + 3 || !band.coder.endsWithEndOfBlock ||
            !band.coder.endOfBlockEndsInZero)
            return false;
        const uint8_t* data = band.file.data() + start;
        const uint8_t* end = band.file.data() + band.file.size() - 2;
        // The padding: the one bits after the end-of-block code's last (zero) bit.
        const uint8_t last = end[-1];
        if (last == 0xFF || (last == 0 && end - data >= 2 && end[-2] == 0xFF))
            return false;
        const int lastBits = 8 - std::countr_one(last);
        if (i == 0) {
            // It starts on a byte, as stuffed as the whole would be: taken as it stands.
            out.insert(out.end(), data, end - 1);
            size_t rest = 64;
            for (size_t j = 1; j < bands.size(); ++j)
                rest += bands[j].file.size();
            joined = std::make_unique_for_overwrite<uint8_t[]>(rest);
            w.to = joined.get();
        } else {
            unstuff(data, end - 1, plain);
            size_t k = 0;
            for (; k + 4 <= plain.size(); k += 4) {
                uint32_t word;
                std::memcpy(&word, plain.data() + k, 4);
                w.put(__builtin_bswap32(word), 32);
            }
            for (; k < plain.size(); ++k)
                w.put(plain[k], 8);
        }
        w.put(uint32_t(last) >> (8 - lastBits), lastBits);
        std::vector<uint8_t>().swap(band.file);
    }
    // The last byte filled with ones, as a scan ends.
    w.flushBytes();
    if (w.count) {
        w.put((1u << (8 - w.count)) - 1, 8 - w.count);
        w.flushBytes();
    }
    out.reserve(out.size() + size_t(w.to - joined.get()) * 65 / 64 + 2);
    stuff(joined.get(), w.to, out);
    return true;
}

}  // namespace fk::jpeg
