#include "gif/gif_extensions.h"

#include <algorithm>
#include <cstring>

#include "gif/gif_image.h"
#include "gif/gif_messages.h"
#include "gif/sub_image.h"

namespace fk {

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kBlockTerminator = 0x00;

uint8_t readByte(Stream& stream) {
    uint8_t b = 0;
    stream.readExact(&b, 1);
    return b;
}

// Reads one sub-block into `block` and returns its size; 0 is the terminator.
size_t readSubBlock(Stream& stream, uint8_t (&block)[255]) {
    size_t n = readByte(stream);
    if (n > 0)
        stream.readExact(block, n);
    return n;
}

void skipSubBlocks(Stream& stream) {
    uint8_t block[255];
    while (readSubBlock(stream, block) > 0) {
    }
}

void writeSubBlocks(ByteWriter& out, const uint8_t* data, size_t n) {
    while (n > 0) {
        size_t k = std::min<size_t>(n, 255);
        out.u8(uint8_t(k));
        out.bytes(data, k);
        data += k;
        n -= k;
    }
}

}  // namespace

TGIFExtension::TGIFExtension(TGIFSubImage& frame) : TGIFItem(nullptr), m_frame(frame.anchor()) {}

TGIFImage* TGIFExtension::image() const {
    TGIFSubImage* frame = subImage();
    return frame != nullptr ? frame->image() : nullptr;
}

void TGIFExtension::SaveToStream(Stream& stream) {
    ByteWriter out(stream);
    saveTo(out);
    out.flush();
}

void TGIFExtension::saveTo(ByteWriter& out) const {
    out.u8(kExtensionIntroducer);
    out.u8(ExtensionLabel());
    saveBody(out);
}

// Graphic control ------------------------------------------------------------------------------

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& frame)
    : TGIFExtension(frame) {
    if (frame.m_graphicControl == nullptr)
        frame.m_graphicControl = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    if (TGIFSubImage* frame = subImage()) {
        if (frame->m_graphicControl == this)
            frame->m_graphicControl = nullptr;
        if (transparent())
            frame->m_transparent = false;
    }
}

std::unique_ptr<TGIFGraphicControlExtension> TGIFGraphicControlExtension::CreateFor(
    TGIFSubImage& frame) {
    return std::make_unique<TGIFGraphicControlExtension>(frame);
}

void TGIFGraphicControlExtension::setDisposal(int method) {
    m_packed = uint8_t((m_packed & 0xE3) | ((method * 4) & 0x1C));
}

void TGIFGraphicControlExtension::setTransparent(bool on) {
    m_packed = on ? uint8_t(m_packed | 0x01) : uint8_t(m_packed & ~0x01);
    if (on) {
        if (TGIFSubImage* frame = subImage())
            frame->m_transparent = true;
    }
}

void TGIFGraphicControlExtension::setUserInput(bool on) {
    m_packed = on ? uint8_t(m_packed | 0x02) : uint8_t(m_packed & ~0x02);
}

void TGIFGraphicControlExtension::setTransparentColorIndex(uint8_t index) {
    int colors = 0;
    if (TGIFSubImage* frame = subImage()) {
        colors = frame->colorMap().count();
        if (colors == 0) {
            if (TGIFImage* doc = frame->image())
                colors = doc->header().colorMap().count();
        }
    }
    if (colors > 0 && index >= colors) {
        ReportWarning(this, gsWarning, gif_text::kInvalidColorIndex);
        index = 0;
    }
    m_transparentIndex = index;
}

void TGIFGraphicControlExtension::saveBody(ByteWriter& out) const {
    out.u8(m_blockSize);
    out.u8(m_packed);
    out.u16le(m_delay);
    out.u8(m_transparentIndex);
    out.u8(m_terminator);
}

void TGIFGraphicControlExtension::LoadFromStream(Stream& stream) {
    uint8_t block[255] = {};
    size_t n = readSubBlock(stream, block);
    m_blockSize = uint8_t(n);
    if (n > 0) {
        m_packed = block[0];
        m_delay = uint16_t(block[1] | (block[2] << 8));
        m_transparentIndex = block[3];
        skipSubBlocks(stream);
    }
    m_terminator = 0;
    if (transparent()) {
        if (TGIFSubImage* frame = subImage())
            frame->m_transparent = true;
    }
}

// Lines -----------------------------------------------------------------------------------------

void TGIFTextLines::saveLines(ByteWriter& out) const {
    for (const std::string& line : m_lines)
        writeSubBlocks(out, reinterpret_cast<const uint8_t*>(line.data()), line.size());
    out.u8(kBlockTerminator);
}

void TGIFTextLines::loadLines(Stream& stream) {
    m_lines.clear();
    uint8_t block[255];
    while (size_t n = readSubBlock(stream, block)) {
        const auto* end = std::find(block, block + n, uint8_t(0));
        m_lines.emplace_back(reinterpret_cast<const char*>(block),
                             reinterpret_cast<const char*>(end));
    }
}

std::unique_ptr<TGIFCommentExtension> TGIFCommentExtension::CreateFor(TGIFSubImage& frame) {
    return std::make_unique<TGIFCommentExtension>(frame);
}

void TGIFCommentExtension::saveBody(ByteWriter& out) const {
    saveLines(out);
}

void TGIFCommentExtension::LoadFromStream(Stream& stream) {
    loadLines(stream);
}

std::unique_ptr<TGIFTextExtension> TGIFTextExtension::CreateFor(TGIFSubImage& frame) {
    return std::make_unique<TGIFTextExtension>(frame);
}

void TGIFTextExtension::saveBody(ByteWriter& out) const {
    out.u8(m_blockSize);
    out.u16le(gridLeft);
    out.u16le(gridTop);
    out.u16le(gridWidth);
    out.u16le(gridHeight);
    out.u8(cellWidth);
    out.u8(cellHeight);
    out.u8(foregroundColorIndex);
    out.u8(backgroundColorIndex);
    saveLines(out);
}

void TGIFTextExtension::LoadFromStream(Stream& stream) {
    uint8_t block[255] = {};
    size_t n = readSubBlock(stream, block);
    m_blockSize = uint8_t(n);
    auto u16 = [&](int at) { return uint16_t(block[at] | (block[at + 1] << 8)); };
    gridLeft = u16(0);
    gridTop = u16(2);
    gridWidth = u16(4);
    gridHeight = u16(6);
    cellWidth = block[8];
    cellHeight = block[9];
    foregroundColorIndex = block[10];
    backgroundColorIndex = block[11];
    if (n == 0) {
        lines().clear();
        return;
    }
    loadLines(stream);
}

// Application extensions ------------------------------------------------------------------------

namespace {

constexpr std::string_view kNetscapeId = "NETSCAPE2.0";
constexpr std::string_view kAnimExtsId = "ANIMEXTS1.0";

bool identifierIs(const TGIFApplicationExtension::Identifier& id, std::string_view text) {
    return std::equal(id.begin(), id.end(), text.begin(), text.end(),
                      [](uint8_t a, char b) { return a == uint8_t(b); });
}

}  // namespace

void TGIFApplicationExtension::setIdentifier(std::string_view text) {
    m_identifier.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), m_identifier.size()), m_identifier.begin());
}

void TGIFApplicationExtension::saveBody(ByteWriter& out) const {
    out.u8(uint8_t(m_identifier.size()));
    out.bytes(m_identifier.data(), m_identifier.size());
    WritePayload(out);
    out.u8(kBlockTerminator);
}

void TGIFApplicationExtension::LoadFromStream(Stream& stream) {
    uint8_t block[255] = {};
    size_t n = readSubBlock(stream, block);
    std::copy_n(block, m_identifier.size(), m_identifier.begin());
    if (n == 0)
        return;
    ReadPayload(stream);
}

std::unique_ptr<TGIFApplicationExtension> TGIFApplicationExtension::ResolveClass(
    const Identifier& identifier, TGIFSubImage& frame) {
    if (identifierIs(identifier, kNetscapeId) || identifierIs(identifier, kAnimExtsId))
        return std::make_unique<TGIFAppExtNSLoop>(frame);
    return std::make_unique<TGIFUnknownAppExtension>(frame);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {
    setIdentifier(kNetscapeId);
}

std::unique_ptr<TGIFAppExtNSLoop> TGIFAppExtNSLoop::CreateFor(TGIFSubImage& frame) {
    return std::make_unique<TGIFAppExtNSLoop>(frame);
}

void TGIFAppExtNSLoop::WritePayload(ByteWriter& out) const {
    out.u8(3);
    out.u8(1);  // loop sub-block
    out.u16le(m_loopCount);
    if (m_bufferBytes > 0) {
        out.u8(5);
        out.u8(2);  // buffer sub-block
        out.u32le(m_bufferBytes);
    }
}

void TGIFAppExtNSLoop::ReadPayload(Stream& stream) {
    uint8_t block[255] = {};
    while (size_t n = readSubBlock(stream, block)) {
        if (block[0] == 1 && n >= 3)
            m_loopCount = uint16_t(block[1] | (block[2] << 8));
        if (block[0] == 2 && n >= 5)
            m_bufferBytes = uint32_t(block[1]) | (uint32_t(block[2]) << 8) |
                            (uint32_t(block[3]) << 16) | (uint32_t(block[4]) << 24);
    }
}

std::unique_ptr<TGIFUnknownAppExtension> TGIFUnknownAppExtension::CreateFor(TGIFSubImage& frame) {
    return std::make_unique<TGIFUnknownAppExtension>(frame);
}

void TGIFUnknownAppExtension::addBlock(const uint8_t* data, size_t n) {
    while (n > 0) {
        size_t k = std::min<size_t>(n, 255);
        m_blocks.push_back({std::vector<uint8_t>(data, data + k)});
        data += k;
        n -= k;
    }
}

void TGIFUnknownAppExtension::WritePayload(ByteWriter& out) const {
    for (const TGIFBlock& block : m_blocks) {
        out.u8(uint8_t(block.data.size()));
        out.bytes(block.data.data(), block.data.size());
    }
}

void TGIFUnknownAppExtension::ReadPayload(Stream& stream) {
    m_blocks.clear();
    uint8_t block[255];
    while (size_t n = readSubBlock(stream, block))
        m_blocks.push_back({{block, block + n}});
}

// The list -----------------------------------------------------------------------------------

void TGIFExtensionList::SaveToStream(Stream& stream) const {
    ByteWriter out(stream);
    saveTo(out);
    out.flush();
}

void TGIFExtensionList::saveTo(ByteWriter& out) const {
    for (int i = 0; i < count(); ++i)
        (*this)[i]->saveTo(out);
}

void TGIFExtensionList::LoadFromStream(Stream& stream) {
    uint8_t introducer = 0;
    while (stream.read(&introducer, 1) == 1) {
        if (introducer != kExtensionIntroducer)
            break;
        const uint8_t label = readByte(stream);
        std::unique_ptr<TGIFExtension> ext;
        switch (label) {
            case 0x01:
                ext = TGIFTextExtension::CreateFor(m_frame);
                break;
            case 0xF9:
                ext = TGIFGraphicControlExtension::CreateFor(m_frame);
                break;
            case 0xFE:
                ext = TGIFCommentExtension::CreateFor(m_frame);
                break;
            case 0xFF: {
                uint8_t block[255] = {};
                const size_t n = readSubBlock(stream, block);
                TGIFApplicationExtension::Identifier id{};
                std::copy_n(block, id.size(), id.begin());
                auto app = TGIFApplicationExtension::ResolveClass(id, m_frame);
                app->setIdentifier(
                    std::string_view(reinterpret_cast<const char*>(id.data()), id.size()));
                if (n > 0)
                    app->ReadPayload(stream);
                Add(std::move(app));
                continue;
            }
            default:
                // Not one of ours: step over its sub-blocks.
                skipSubBlocks(stream);
                continue;
        }
        ext->LoadFromStream(stream);
        Add(std::move(ext));
    }
}

}  // namespace fk
