#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/png_filter.h"

namespace fk {

class TChunkIHDR;

namespace png {

// Turns the header's stored rows into filtered scanlines (the filter-type byte, then the row
// filtered with it), for any run of rows: each run is filtered against the unfiltered row above
// it, so runs made apart, on any thread, join into the same bytes as one pass from the top.
// Truecolour rows are read as blue, green, red (, unused) and written as red, green, blue.
class ScanlineFilter {
public:
    ScanlineFilter(const TChunkIHDR& header, TFilters filters);

    // Bytes of one filtered scanline: the type byte and the row.
    size_t lineBytes() const { return m_rowBytes + 1; }
    int rows() const { return m_rows; }
    // Writes the scanlines of rows first..last - 1 (row 0 at the top) to `out`, which holds
    // (last - first) × lineBytes() bytes.
    void filter(int first, int last, uint8_t* out);

private:
    // The unfiltered scanline of a stored row: the store itself for palette rows.
    const uint8_t* plainRow(int row, uint8_t* scratch) const;
    void filterOne(const uint8_t* row, const uint8_t* above, uint8_t* out);

    const TChunkIHDR& m_header;
    TFilters m_filters;
    size_t m_rowBytes;
    size_t m_step;
    size_t m_storedPixelBytes;  // 3 or 4 for truecolour rows; 0 for palette rows
    int m_rows;
    TFilter m_fixed = pfNone;  // the type of every row when the set holds one type at most
    bool m_single;
    bool m_fusedSub;  // truecolour rows reordered and Sub-filtered in one pass
    std::vector<uint8_t> m_zeros;
    std::array<std::vector<uint8_t>, 2> m_plain;  // current and previous unfiltered rows
    std::array<std::vector<uint8_t>, kFilterCount> m_filtered;
};

}  // namespace png
}  // namespace fk
