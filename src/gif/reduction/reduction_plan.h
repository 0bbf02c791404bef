#pragma once

#include <cstdint>

#include "gif/reduction/color_reduction.h"

namespace fk {

// Rows are converted, matched and given to a follower in groups: waking a thread costs more than
// a row.
constexpr int kRowsPerChunk = 32;

// How the source becomes the 24-bit rows that are matched (and that it is left as).
enum class Conversion : uint8_t {
    // On the calling thread, all of it before anything reads it; or nothing to convert.
    InPlace,
    // In chunks on every thread before anything reads the rows.
    Chunks,
    // Each chunk of rows just before it is matched, so a follower can start on the first at once.
    AsMatched,
    // On the other threads while the octree counts the colours of the 32-bit rows, which are the
    // same colours.
    BesideOctree,
    // On another thread while Burkes' walk reads the 32-bit rows as they are.
    BesideWalk,
};

// How the rows are matched to the palette.
enum class Walk : uint8_t {
    // The ditherer's serpentine walk over the 24-bit rows, on the calling thread.
    Serpentine,
    // Burkes' serpentine walk over the 32-bit rows, on the calling thread.
    Serpentine32,
    // Matching without error diffusion, which treats each pixel on its own: chunks of rows go to
    // whichever thread is free, each thread with a matcher of its own (a matcher keeps caches).
    Chunks,
};

// Where a follower of the result takes its rows.
enum class FollowerPlace : uint8_t { None, AfterEachGroup, OwnThread };

// Which conversion, which walk and which threads, chosen once before any work.
struct ReductionPlan {
    Conversion conversion = Conversion::InPlace;
    Walk walk = Walk::Serpentine;
    FollowerPlace follower = FollowerPlace::None;
    int convertThreads = 1;  // for Conversion::Chunks and Conversion::BesideOctree
    int matchThreads = 1;    // for Walk::Chunks
};

// The plan for reducing `source` with these kinds and options. Nothing here changes a byte of the
// result, only where and when it is made.
ReductionPlan planReduction(TPaletteKind paletteKind, TDitherKind ditherKind, const Bitmap& source,
                            const ReductionOptions& options);

}  // namespace fk
