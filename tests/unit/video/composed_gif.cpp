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
    for (const PillowFrame& f : dumpWithPillow(path, PillowView::Composed)) {
        result.width = f.width;
        result.height = f.height;
        ComposedFrame frame;
        frame.delay = f.durationMs / 10;
        frame.screen.resize(f.pixels.size() / 3);
        for (size_t i = 0; i < frame.screen.size(); ++i)
            frame.screen[i] = {f.pixels[3 * i], f.pixels[3 * i + 1], f.pixels[3 * i + 2]};
        result.frames.push_back(std::move(frame));
    }
    return result;
}

}  // namespace fk::test
