#pragma once

#include <functional>
#include <memory>

#include "gif/reduction/color_lookup.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/dither.h"
#include "gif/reduction/reduction_plan.h"
#include "gif/reduction/source_rows.h"

namespace fk {

// Where a walk puts each finished row: the result, the copy of its indexes and their follower
// that ReductionOptions ask for, the follower where the plan places it.
struct WalkOutput {
    TDIBWriter& writer;
    const ReductionOptions& options;
    FollowerPlace follower;
    int width;
    int height;
};

// Walk::Serpentine: the ditherer down the 24-bit rows on the calling thread.
void walkSerpentine(TDitherEngine& ditherer, SourceRows& rows, const WalkOutput& out);

// Walk::Serpentine32: Burkes down the source's 32-bit rows on the calling thread.
void walkSerpentine32(TBurkesDitherer& ditherer, SourceRows& rows, const WalkOutput& out);

// Walk::Chunks: chunks of 24-bit rows matched on `threads` threads, each thread with a lookup of
// its own that `makeLookup` gives.
void matchChunks(int threads, const std::function<std::unique_ptr<TColorLookup>()>& makeLookup,
                 SourceRows& rows, const WalkOutput& out);

}  // namespace fk
