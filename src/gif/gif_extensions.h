#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gif/gif_item.h"

namespace fk {

class TGIFSubImage;

// Base of the extension blocks a frame carries; each is written as 0x21, its label and its body.
class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage& frame);

    TGIFImage* image() const override;
    // The frame it was made for, or null once that frame is gone.
    TGIFSubImage* subImage() const { return m_frame ? *m_frame : nullptr; }

    int RequiredVersion() const override { return 2; }
    virtual uint8_t ExtensionLabel() const = 0;

    void SaveToStream(Stream& stream) override;
    void saveTo(ByteWriter& out) const;
    // Reads the body that follows the introducer and the label.
    virtual void LoadFromStream(Stream& stream) = 0;

protected:
    virtual void saveBody(ByteWriter& out) const = 0;

private:
    TGIFAnchor<TGIFSubImage> m_frame;
};

class TGIFGraphicControlExtension final : public TGIFExtension {
public:
    explicit TGIFGraphicControlExtension(TGIFSubImage& frame);
    ~TGIFGraphicControlExtension() override;
    static std::unique_ptr<TGIFGraphicControlExtension> CreateFor(TGIFSubImage& frame);

    uint8_t ExtensionLabel() const override { return 0xF9; }
    void LoadFromStream(Stream& stream) override;

    uint8_t packed() const { return m_packed; }
    // Hundredths of a second.
    uint16_t delay() const { return m_delay; }
    void setDelay(uint16_t delay) { m_delay = delay; }
    int disposal() const { return (m_packed >> 2) & 7; }
    void setDisposal(int method);
    bool transparent() const { return (m_packed & 0x01) != 0; }
    void setTransparent(bool on);
    bool userInput() const { return (m_packed & 0x02) != 0; }
    void setUserInput(bool on);
    uint8_t transparentColorIndex() const { return m_transparentIndex; }
    // An index outside the frame's active colour map warns "Invalid color index" and stores 0.
    void setTransparentColorIndex(uint8_t index);

protected:
    void saveBody(ByteWriter& out) const override;

private:
    uint8_t m_blockSize = 4;
    uint8_t m_packed = 0;  // transparency, user input, disposal method, reserved bits
    uint16_t m_delay = 0;
    uint8_t m_transparentIndex = 0;
    uint8_t m_terminator = 0;
};

// Lines of text stored as data sub-blocks: a line longer than 255 bytes takes several blocks and
// an empty line takes none.
class TGIFTextLines {
public:
    std::vector<std::string>& lines() { return m_lines; }
    const std::vector<std::string>& lines() const { return m_lines; }

protected:
    void saveLines(ByteWriter& out) const;
    // One line per sub-block, up to its first zero byte, until the terminator.
    void loadLines(Stream& stream);

private:
    std::vector<std::string> m_lines;
};

class TGIFCommentExtension final : public TGIFExtension, public TGIFTextLines {
public:
    using TGIFExtension::TGIFExtension;
    static std::unique_ptr<TGIFCommentExtension> CreateFor(TGIFSubImage& frame);

    uint8_t ExtensionLabel() const override { return 0xFE; }
    void LoadFromStream(Stream& stream) override;

protected:
    void saveBody(ByteWriter& out) const override;
};

class TGIFTextExtension final : public TGIFExtension, public TGIFTextLines {
public:
    using TGIFExtension::TGIFExtension;
    static std::unique_ptr<TGIFTextExtension> CreateFor(TGIFSubImage& frame);

    uint8_t ExtensionLabel() const override { return 0x01; }
    void LoadFromStream(Stream& stream) override;

    uint16_t gridLeft = 0;
    uint16_t gridTop = 0;
    uint16_t gridWidth = 0;
    uint16_t gridHeight = 0;
    uint8_t cellWidth = 0;
    uint8_t cellHeight = 0;
    uint8_t foregroundColorIndex = 0;
    uint8_t backgroundColorIndex = 0;

protected:
    void saveBody(ByteWriter& out) const override;

private:
    uint8_t m_blockSize = 12;
};

// An application extension: an 8-byte application identifier, a 3-byte authentication code and
// a payload of sub-blocks.
class TGIFApplicationExtension : public TGIFExtension {
public:
    using Identifier = std::array<uint8_t, 11>;

    using TGIFExtension::TGIFExtension;

    uint8_t ExtensionLabel() const override { return 0xFF; }
    // Reads the identifier block and the payload.
    void LoadFromStream(Stream& stream) override;

    const Identifier& identifier() const { return m_identifier; }
    std::string identifierText() const { return {m_identifier.begin(), m_identifier.end()}; }
    // The first 11 bytes of `text`, padded with zeros.
    void setIdentifier(std::string_view text);

    // The class that reads an application extension with this identifier.
    static std::unique_ptr<TGIFApplicationExtension> ResolveClass(const Identifier& identifier,
                                                                  TGIFSubImage& frame);

    virtual void WritePayload(ByteWriter& out) const = 0;
    // Reads the payload sub-blocks and the terminator.
    virtual void ReadPayload(Stream& stream) = 0;

protected:
    void saveBody(ByteWriter& out) const override;

private:
    Identifier m_identifier{};
};

// The loop count of an animation ("NETSCAPE2.0").
class TGIFAppExtNSLoop final : public TGIFApplicationExtension {
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage& frame);
    static std::unique_ptr<TGIFAppExtNSLoop> CreateFor(TGIFSubImage& frame);

    // 0 repeats for ever.
    uint16_t loopCount() const { return m_loopCount; }
    void setLoopCount(uint16_t count) { m_loopCount = count; }
    uint32_t bufferBytes() const { return m_bufferBytes; }
    void setBufferBytes(uint32_t bytes) { m_bufferBytes = bytes; }

    void WritePayload(ByteWriter& out) const override;
    void ReadPayload(Stream& stream) override;

private:
    uint16_t m_loopCount = 0;
    uint32_t m_bufferBytes = 0;
};

// One raw data sub-block of 1 to 255 bytes.
struct TGIFBlock {
    std::vector<uint8_t> data;
};

// Any other application extension, kept as its raw sub-blocks.
class TGIFUnknownAppExtension final : public TGIFApplicationExtension {
public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    static std::unique_ptr<TGIFUnknownAppExtension> CreateFor(TGIFSubImage& frame);

    const std::vector<TGIFBlock>& blocks() const { return m_blocks; }
    // Cuts the bytes into blocks of at most 255; nothing is added for no bytes.
    void addBlock(const uint8_t* data, size_t n);

    void WritePayload(ByteWriter& out) const override;
    void ReadPayload(Stream& stream) override;

private:
    std::vector<TGIFBlock> m_blocks;
};

// A frame's extensions, in file order.
class TGIFExtensionList final : public TGIFList<TGIFExtension> {
public:
    explicit TGIFExtensionList(TGIFSubImage& frame) : m_frame(frame) {}

    void SaveToStream(Stream& stream) const;
    void saveTo(ByteWriter& out) const;
    // Reads extension blocks until the end of the stream and appends them.
    void LoadFromStream(Stream& stream);

private:
    TGIFSubImage& m_frame;
};

}  // namespace fk
