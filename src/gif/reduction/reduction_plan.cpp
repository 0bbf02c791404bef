#include "gif/reduction/reduction_plan.h"

#include <algorithm>

#include "base/threads.h"

namespace fk {

ReductionPlan planReduction(TPaletteKind paletteKind, TDitherKind ditherKind, const Bitmap& source,
                            const ReductionOptions& options) {
    const int threads = resolveThreadCount(options.threads);
    // A follower takes the rows only where they are copied out for it.
    const bool following = options.indexes != nullptr && options.follower != nullptr;
    ReductionPlan plan;
    if (following)
        plan.follower = threads > 1 ? FollowerPlace::OwnThread : FollowerPlace::AfterEachGroup;
    // A kind beyond the enumerations gives no picture; the source is still converted.
    if (threads <= 1 || paletteKind == pkTrueColor || paletteKind > pkCustom)
        return plan;

    const int width = source.width(), height = source.height();
    const bool wide =
        source.pixelFormat() == PixelFormat::Device || source.pixelFormat() == PixelFormat::Bits32;
    const bool octree = paletteKind == pkOctree || paletteKind == pkOctreeSystem;
    if (ditherKind == dkPlain && width > 0 && height > 1) {
        plan.walk = Walk::Chunks;
        // The follower is the slower part and has a thread of its own.
        plan.matchThreads = following ? threads - 1 : threads;
    }
    if (!wide)
        return plan;
    // A fixed palette is sure not to be empty, so a walk or matching that converts the rows
    // itself always runs to the end.
    const bool fixed = paletteKind < pkOctree;
    if (ditherKind == dkBurkes && fixed && width > 0 && height > 0) {
        plan.walk = Walk::Serpentine32;
        plan.conversion = Conversion::BesideWalk;
    } else if (octree) {
        plan.conversion = Conversion::BesideOctree;
        plan.convertThreads = std::max(threads - 1, 1);
    } else if (plan.walk == Walk::Chunks && paletteKind != pkCustom) {
        plan.conversion = Conversion::AsMatched;
    } else {
        plan.conversion = Conversion::Chunks;
        plan.convertThreads = threads;
    }
    return plan;
}

}  // namespace fk
