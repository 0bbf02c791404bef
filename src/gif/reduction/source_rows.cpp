#include "gif/reduction/source_rows.h"

#include <utility>

namespace fk {

namespace {

// Rows first..last - 1 of the 24-bit copy of a 32-bit bitmap that converting it in place gives.
void convertRows(const Bitmap& from, Bitmap& to, int first, int last) {
    for (int r = first; r < last; ++r)
        copyDroppingUnused(to.scanLine(r), from.scanLine(r), from.width());
}

}  // namespace

SourceRows::SourceRows(Bitmap& source, const ReductionPlan& plan) : m_source(source), m_plan(plan) {
    switch (plan.conversion) {
        case Conversion::InPlace:
            m_reader.emplace(m_source, PixelFormat::Bits24);
            break;
        case Conversion::Chunks:
            convertAll(plan.convertThreads);
            m_source = std::move(m_converted);
            m_reader.emplace(m_source, PixelFormat::Bits24);
            break;
        case Conversion::AsMatched:
            m_converted = Bitmap(source.width(), source.height(), PixelFormat::Bits24);
            m_reader.emplace(m_converted, PixelFormat::Bits24);
            break;
        case Conversion::BesideOctree:
            break;
        case Conversion::BesideWalk:
            m_beside.emplace([this] { convertAll(1); });
            break;
    }
}

SourceRows::~SourceRows() {
    m_beside.reset();
}

void SourceRows::convertAll(int threads) {
    m_converted = Bitmap(m_source.width(), m_source.height(), PixelFormat::Bits24);
    if (threads <= 1) {
        convertRows(m_source, m_converted, 0, m_source.height());
        return;
    }
    forEachChunk(threads, m_source.height(), kRowsPerChunk, [&](int, int first, int last) {
        convertRows(m_source, m_converted, first, last);
    });
}

void SourceRows::convertBeside(const std::function<void()>& count) {
    WorkerThread convert([&] { convertAll(m_plan.convertThreads); });
    count();
    convert.join();
    m_source = std::move(m_converted);
    m_reader.emplace(m_source, PixelFormat::Bits24);
}

void SourceRows::finish() {
    if (m_beside) {
        m_beside->join();
        m_beside.reset();
    }
    if (m_plan.conversion == Conversion::AsMatched || m_plan.conversion == Conversion::BesideWalk)
        m_source = std::move(m_converted);
}

}  // namespace fk
