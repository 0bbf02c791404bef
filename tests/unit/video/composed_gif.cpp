#include "composed_gif.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "support/test_support.h"

namespace fk::test {

ComposedGif composeWithGiflib(const std::string& path) {
    ComposedGif result;
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) {
        ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
        return result;
    }
    std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(gif, [](GifFileType* g) {
        int ignored;
        DGifCloseFile(g, &ignored);
    });
    if (DGifSlurp(gif) != GIF_OK) {
        ADD_FAILURE() << "giflib cannot read " << path << ": " << GifErrorString(gif->Error);
        return result;
    }
    result.width = gif->SWidth;
    result.height = gif->SHeight;
    std::vector<Color> canvas(size_t(result.width) * size_t(result.height));
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GifImageDesc& d = image.ImageDesc;
        GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &control);
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        EXPECT_TRUE(map) << "frame " << i << " has no colour table";
        EXPECT_FALSE(d.Interlace) << "frame " << i;
        if (!map)
            return result;
        ComposedFrame frame{d.Left,
                            d.Top,
                            d.Width,
                            d.Height,
                            control.DelayTime,
                            control.DisposalMode,
                            control.TransparentColor != NO_TRANSPARENT_COLOR};
        const std::vector<Color> before = canvas;
        for (int y = 0; y < d.Height; ++y) {
            for (int x = 0; x < d.Width; ++x) {
                const int index = image.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
                EXPECT_LT(index, map->ColorCount) << "frame " << i;
                const int sx = d.Left + x, sy = d.Top + y;
                if (index == control.TransparentColor || sx >= result.width ||
                    sy >= result.height || index >= map->ColorCount)
                    continue;
                const GifColorType& c = map->Colors[index];
                canvas[size_t(sy) * size_t(result.width) + size_t(sx)] = {c.Red, c.Green, c.Blue};
            }
        }
        frame.screen = canvas;
        result.frames.push_back(std::move(frame));
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = d.Top; y < std::min(d.Top + d.Height, result.height); ++y)
                for (int x = d.Left; x < std::min(d.Left + d.Width, result.width); ++x)
                    canvas[size_t(y) * size_t(result.width) + size_t(x)] = {};
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas = before;
        }
    }
    return result;
}

ComposedGif composeWithPillow(const std::string& path) {
    ComposedGif result;
    TempDir tmp;
    const std::string out = tmp.file("frames");
    const CommandResult r =
        runCommand(python() + " " + shellQuote(toolsDir() + "/gif_dump.py") + " " +
                   shellQuote(path) + " " + shellQuote(out) + " composed");
    if (r.exitCode != 0) {
        ADD_FAILURE() << "Pillow could not decode " << path << ": " << r.output;
        return result;
    }
    const std::vector<uint8_t> bytes = readFileBytes(out);
    size_t at = 0;
    while (at < bytes.size()) {
        const auto newline = std::find(bytes.begin() + long(at), bytes.end(), '\n');
        const std::string header(bytes.begin() + long(at), newline);
        int width = 0, height = 0, duration = 0;
        size_t paletteBytes = 0, pixelBytes = 0;
        at = size_t(newline - bytes.begin()) + 1;
        if (std::sscanf(header.c_str(), "%d %d RGB %zu %zu %d", &width, &height, &paletteBytes,
                        &pixelBytes, &duration) != 5 ||
            paletteBytes != 0 || pixelBytes != size_t(width) * size_t(height) * 3 ||
            at + pixelBytes > bytes.size()) {
            ADD_FAILURE() << "unexpected decoder output for " << path << ": " << header;
            return result;
        }
        result.width = width;
        result.height = height;
        ComposedFrame frame;
        frame.delay = duration / 10;
        frame.screen.resize(size_t(width) * size_t(height));
        for (Color& c : frame.screen) {
            c = {bytes[at], bytes[at + 1], bytes[at + 2]};
            at += 3;
        }
        result.frames.push_back(std::move(frame));
    }
    return result;
}

}  // namespace fk::test
