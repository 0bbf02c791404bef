#include "png/png_filter.h"

#include <cstdlib>
#include <cstring>

namespace fk::png {

uint8_t paethPredictor(uint8_t a, uint8_t b, uint8_t c) {
    const int p = int(a) + int(b) - int(c);
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    if (pb <= pc)
        return b;
    return c;
}

void filterRow(TFilter type, const uint8_t* x, const uint8_t* b, size_t rowBytes, size_t step,
               uint8_t* out) {
    const size_t head = step < rowBytes ? step : rowBytes;  // bytes with no pixel to the left
    switch (type) {
        case pfNone:
            std::memcpy(out, x, rowBytes);
            break;
        case pfSub:
            for (size_t i = 0; i < head; ++i)
                out[i] = x[i];
            for (size_t i = head; i < rowBytes; ++i)
                out[i] = uint8_t(x[i] - x[i - step]);
            break;
        case pfUp:
            for (size_t i = 0; i < rowBytes; ++i)
                out[i] = uint8_t(x[i] - b[i]);
            break;
        case pfAverage:
            for (size_t i = 0; i < head; ++i)
                out[i] = uint8_t(x[i] - (b[i] >> 1));
            for (size_t i = head; i < rowBytes; ++i)
                out[i] = uint8_t(x[i] - ((unsigned(x[i - step]) + b[i]) >> 1));
            break;
        case pfPaeth:
            for (size_t i = 0; i < head; ++i)
                out[i] = uint8_t(x[i] - paethPredictor(0, b[i], 0));
            for (size_t i = head; i < rowBytes; ++i)
                out[i] = uint8_t(x[i] - paethPredictor(x[i - step], b[i], b[i - step]));
            break;
    }
}

size_t scoreFilteredRow(const uint8_t* row, size_t rowBytes) {
    size_t score = 0;
    for (size_t j = 2; j < rowBytes; ++j)
        score += (row[j] == row[j - 1] || row[j] == row[j - 2]);
    return score;
}

TFilter ChooseFilter(TFilters set, const std::array<const uint8_t*, kFilterCount>& filtered,
                     size_t rowBytes) {
    if (set.empty() || set == TFilters{pfNone})
        return pfNone;
    TFilter chosen = pfNone;
    size_t best = 0;
    for (int t = 0; t < kFilterCount; ++t) {
        const TFilter type = TFilter(t);
        if (!set.contains(type))
            continue;
        if (set == TFilters{type})
            return type;
        const size_t score = scoreFilteredRow(filtered[t], rowBytes);
        if (score > best) {
            best = score;
            chosen = type;
        }
    }
    return chosen;
}

}  // namespace fk::png
