#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "base/threads.h"
#include "gif/reduction/dib.h"
#include "gif/reduction/reduction_plan.h"
#include "graphics/bitmap.h"
#include "graphics/rgb_rows.h"

namespace fk {

// The source's rows in 24 bits as the plan's conversion makes them, and the source left as that
// 24-bit copy, as converting it in place would leave it.
class SourceRows {
public:
    // Conversion::InPlace and Conversion::Chunks convert here, Conversion::BesideWalk starts
    // converting on another thread; the others convert in their step.
    SourceRows(Bitmap& source, const ReductionPlan& plan);
    // Waits for a conversion still running on another thread.
    ~SourceRows();
    SourceRows(const SourceRows&) = delete;
    SourceRows& operator=(const SourceRows&) = delete;

    // Conversion::BesideOctree: runs `count` over the source's 32-bit rows on the calling thread
    // while other threads convert.
    void convertBeside(const std::function<void()>& count);

    // The rows a palette is made from, and their reader; none while the conversion runs beside
    // the walk.
    Bitmap& bitmap() { return m_plan.conversion == Conversion::AsMatched ? m_converted : m_source; }
    TDIBReader* reader() { return m_reader ? &*m_reader : nullptr; }

    // Row r in 24 bits; Conversion::AsMatched converts it now, so each row is asked for once.
    // Distinct rows may be asked for on several threads at once.
    const uint8_t* row24(int r) {
        if (m_plan.conversion == Conversion::AsMatched)
            copyDroppingUnused(m_converted.scanLine(r), m_source.scanLine(r), m_source.width());
        return m_reader->ScanRow(r);
    }
    // Row r as the source still has it: 32 bits while the conversion runs beside the walk.
    const uint8_t* sourceRow(int r) const { return std::as_const(m_source).scanLine(r); }

    // Every row has been read: the source becomes its 24-bit copy.
    void finish();

private:
    void convertAll(int threads);

    Bitmap& m_source;
    const ReductionPlan m_plan;
    Bitmap m_converted;
    std::optional<TDIBReader> m_reader;
    std::optional<WorkerThread> m_beside;  // joined before m_converted goes
};

}  // namespace fk
