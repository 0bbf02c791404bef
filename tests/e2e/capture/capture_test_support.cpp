#include "capture_test_support.h"

#include <gtest/gtest.h>

namespace fk::test {

Color pattern(int x, int y, int width, int height) {
    if (y == height / 2)
        return (x % 2) ? Color{255, 255, 255} : Color{0, 0, 0};
    const bool right = x >= width / 2, bottom = y >= height / 2;
    if (!right && !bottom)
        return {250, 10, 20};
    if (right && !bottom)
        return {10, 240, 30};
    if (!right && bottom)
        return {20, 30, 230};
    return {uint8_t(x), uint8_t(y), 128};
}

void expectWindowAt(const Bitmap& picture, int left, int top, int width, int height,
                    const char* what) {
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (picture.pixel(left + x, top + y) != pattern(x, y, width, height))
                ++wrong;
    EXPECT_EQ(wrong, 0) << what << ": pixels that differ from the window's content";
}

void expectCursorBox(const Bitmap& with, const Bitmap& without, int left, int top,
                     const CursorImage& cursor) {
    int changed = 0, outside = 0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) {
                ++changed;
                if (x < left || x >= left + cursor.width || y < top || y >= top + cursor.height)
                    ++outside;
            }
    EXPECT_GT(changed, 0) << "no cursor drawn";
    EXPECT_EQ(outside, 0) << "cursor pixels outside its box at " << left << "," << top;
}

std::string differences(const Bitmap& got, const Bitmap& want) {
    if (got.width() != want.width() || got.height() != want.height())
        return "sizes differ";
    int differ = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x)
            if (got.pixel(x, y) != want.pixel(x, y) && differ++ == 0) {
                firstX = x;
                firstY = y;
            }
    if (differ == 0)
        return {};
    return std::to_string(differ) + " pixels differ, the first at " + std::to_string(firstX) + "," +
           std::to_string(firstY);
}

ShotPairs::ShotPairs(ScreenGrabber& grabber) : m_capture(grabber, m_host, m_clock, m_pump) {
    m_host.options = {PictureFormat::Bmp, 100, 3, m_dir.path(), "shot_#.bmp", "0"};
}

std::string ShotPairs::file(int n) const {
    return m_dir.file("shot_" + std::to_string(n) + ".bmp");
}

template <typename Shoot>
std::pair<Bitmap, Bitmap> ShotPairs::pair(Shoot&& shoot) {
    const int first = std::stoi(m_host.options.counterText);
    m_host.withCursor = false;
    shoot();
    m_host.withCursor = true;
    shoot();
    return {Bitmap::loadFromFile(file(first)), Bitmap::loadFromFile(file(first + 1))};
}

std::pair<Bitmap, Bitmap> ShotPairs::screenWithoutAndWithCursor() {
    return pair([this] { m_capture.ShootScreen(); });
}

std::pair<Bitmap, Bitmap> ShotPairs::windowWithoutAndWithCursor() {
    return pair([this] { m_capture.ShootWindow(); });
}

}  // namespace fk::test
