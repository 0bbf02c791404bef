#include "png/png_scanlines.h"

#include <cstring>

#include "png/png_chunks.h"
#include "png/png_constants.h"

namespace fk::png {

namespace {

// One scanline from a stored truecolour row: blue, green, red (, unused) becomes red, green, blue.
template <size_t kStored>
void reorderRow(const uint8_t* stored, size_t rowBytes, uint8_t* out) {
    for (size_t i = 0; i < rowBytes; i += 3, stored += kStored) {
        out[i] = stored[2];
        out[i + 1] = stored[1];
        out[i + 2] = stored[0];
    }
}

// The default case in one pass: a stored truecolour row reordered and Sub-filtered straight into
// the buffer deflate reads.
template <size_t kStored>
void subFilterRow(const uint8_t* stored, size_t rowBytes, uint8_t* out) {
    uint8_t red = 0, green = 0, blue = 0;
    for (size_t i = 0; i < rowBytes; i += 3, stored += kStored) {
        out[i] = uint8_t(stored[2] - red);
        out[i + 1] = uint8_t(stored[1] - green);
        out[i + 2] = uint8_t(stored[0] - blue);
        red = stored[2];
        green = stored[1];
        blue = stored[0];
    }
}

}  // namespace

ScanlineFilter::ScanlineFilter(const TChunkIHDR& header, TFilters filters)
    : m_header(header),
      m_filters(filters),
      m_rowBytes(header.RowBytes()),
      m_step(header.PixelStep()),
      m_storedPixelBytes(0),
      m_rows(header.Height()),
      m_single(filters.count() <= 1) {
    if (header.ColorType() == kColorTypeTruecolor)
        m_storedPixelBytes = size_t(header.ImageData().bitsPerPixel() / 8);
    for (int t = 0; t < kFilterCount; ++t)
        if (m_single && filters.contains(TFilter(t)))
            m_fixed = TFilter(t);
    m_fusedSub = m_storedPixelBytes != 0 && m_single && m_fixed == pfSub;
    m_zeros.assign(m_rowBytes, 0);
    if (m_storedPixelBytes != 0 && !m_fusedSub)
        for (auto& r : m_plain)
            r.resize(m_rowBytes);
    if (!m_single)
        for (int t = pfSub; t < kFilterCount; ++t)
            if (filters.contains(TFilter(t)))
                m_filtered[size_t(t)].resize(m_rowBytes);
}

const uint8_t* ScanlineFilter::plainRow(int row, uint8_t* scratch) const {
    const uint8_t* stored = m_header.ImageData().scanLine(row);
    if (m_storedPixelBytes == 0)
        return stored;
    if (m_storedPixelBytes == 4)
        reorderRow<4>(stored, m_rowBytes, scratch);
    else
        reorderRow<3>(stored, m_rowBytes, scratch);
    return scratch;
}

void ScanlineFilter::filterOne(const uint8_t* row, const uint8_t* above, uint8_t* out) {
    if (m_single) {
        out[0] = m_fixed;
        filterRow(m_fixed, row, above, m_rowBytes, m_step, out + 1);
        return;
    }
    std::array<const uint8_t*, kFilterCount> candidates{row};
    for (int t = pfSub; t < kFilterCount; ++t) {
        if (m_filtered[size_t(t)].empty())
            continue;
        filterRow(TFilter(t), row, above, m_rowBytes, m_step, m_filtered[size_t(t)].data());
        candidates[size_t(t)] = m_filtered[size_t(t)].data();
    }
    const TFilter chosen = ChooseFilter(m_filters, candidates, m_rowBytes);
    out[0] = chosen;
    std::memcpy(out + 1, candidates[chosen], m_rowBytes);
}

void ScanlineFilter::filter(int first, int last, uint8_t* out) {
    const size_t line = lineBytes();
    if (m_fusedSub) {
        // Sub needs no row above, so none is kept.
        for (int y = first; y < last; ++y, out += line) {
            const uint8_t* stored = m_header.ImageData().scanLine(y);
            out[0] = pfSub;
            if (m_storedPixelBytes == 4)
                subFilterRow<4>(stored, m_rowBytes, out + 1);
            else
                subFilterRow<3>(stored, m_rowBytes, out + 1);
        }
        return;
    }
    // The rows above start as zeros; truecolour rows alternate between two scratch rows.
    const uint8_t* above =
        first == 0 ? m_zeros.data() : plainRow(first - 1, m_plain[size_t((first - 1) & 1)].data());
    for (int y = first; y < last; ++y, out += line) {
        const uint8_t* row = plainRow(y, m_plain[size_t(y & 1)].data());
        filterOne(row, above, out);
        above = row;
    }
}

}  // namespace fk::png
