#pragma once

// A baseline picture made in horizontal bands on several threads and joined into the one scan
// the library writes for the whole picture, byte for byte. Each band's compressor codes its
// blocks with the library's own Huffman coder; what differs from one compressor for the whole is
// mended on the way:
//  - The DC of each block is coded as its difference from the block before, which for a band's
//    first blocks lies in the band above. A band's compressor therefore also makes the last MCU
//    row of the band above (its blocks are not coded) and lowers every DC of its own by that
//    row's last DC of the component, which leaves every difference as the whole picture has it.
//  - Each band's scan ends padded with one bits to a whole byte. A band whose last block ends
//    with an end-of-block code (which ends in a zero bit in the tables used) ends at its last
//    zero bit; the bands are joined bit to bit and stuffed again. A band that does not end so
//    cannot be joined, and the picture is then made by one compressor.

// jpeglib.h expects FILE and size_t to be declared before it.
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it extends: the entropy coder's interface.
#include <jpegint.h>

namespace fk::jpeg {

constexpr int kMaxScanComponents = 4;

// Takes the place of the library's entropy coder once the compression has started, and hands
// the band's own MCUs on to it.
struct BandCoder {
    jpeg_entropy_encoder pub;
    jpeg_entropy_encoder* library;
    long aboveMcus;  // MCUs of the band above still to come
    int blocks;
    int component[C_MAX_BLOCKS_IN_MCU];
    int lastDc[kMaxScanComponents];
    bool endsWithEndOfBlock;
    bool endOfBlockEndsInZero;  // in every AC table the scan uses
};
// `aboveRows`: rows of the band above that the compressor is given first (0 or one MCU row).
void installBandCoder(j_compress_ptr cinfo, BandCoder& coder, int aboveRows);

// One band's file as its compressor wrote it, and its coder.
struct BandOutput {
    std::vector<uint8_t> file;
    BandCoder coder;
};

// The whole picture's scan from the bands' files, in order, appended to `out`; false when they
// cannot be joined.
bool joinBands(std::vector<BandOutput>& bands, std::vector<uint8_t>& out);

// Where the scan's data starts in a file the library wrote (after the start-of-scan header),
// or 0; `frame` is set to the place of the frame header's marker.
size_t scanDataStart(const std::vector<uint8_t>& file, size_t& frame);

}  // namespace fk::jpeg
