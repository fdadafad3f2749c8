#include "cli/dither.h"

namespace {

struct Share {
    int dx, dy, weight;
};

// Floyd-Steinberg passes on all of the error; Atkinson only 6/8 of it,
// which keeps the contrast of the 1-pixel details a small screen is full of.
constexpr Share kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr int kFloydSteinbergDivisor = 16;
constexpr Share kAtkinson[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};
constexpr int kAtkinsonDivisor = 8;

// Position 0..63 of (x, y) in the 8 x 8 Bayer matrix, from the bits of x
// and y interleaved and reversed.
int BayerRank(int x, int y) {
    int rank = 0;
    for (int bit = 0; bit < 3; ++bit) {
        int shift = 2 * (2 - bit);
        rank |= ((((x ^ y) >> bit) & 1) << (shift + 1)) | (((y >> bit) & 1) << shift);
    }
    return rank;
}

template <std::size_t N>
DisplayImageBytes Diffused(const std::vector<std::uint8_t>& grey, int threshold,
                           const Share (&shares)[N], int divisor) {
    DisplayImageBytes image{};
    std::vector<int> level(grey.begin(), grey.end());
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x) {
            int value = level[static_cast<std::size_t>(y * kDisplayWidth + x)];
            bool dark = value < threshold;
            SetDisplayPixel(image, x, y, dark);
            int error = value - (dark ? 0 : 255);
            for (const Share& share : shares) {
                int nx = x + share.dx, ny = y + share.dy;
                if (nx >= 0 && nx < kDisplayWidth && ny < kDisplayHeight)
                    level[static_cast<std::size_t>(ny * kDisplayWidth + nx)] +=
                        error * share.weight / divisor;
            }
        }
    return image;
}

} // namespace

DisplayImageBytes BlackAndWhite(const std::vector<std::uint8_t>& grey, int threshold,
                                Dithering dithering) {
    switch (dithering) {
    case Dithering::FloydSteinberg:
        return Diffused(grey, threshold, kFloydSteinberg, kFloydSteinbergDivisor);
    case Dithering::Atkinson:
        return Diffused(grey, threshold, kAtkinson, kAtkinsonDivisor);
    case Dithering::None:
    case Dithering::Bayer:
        break;
    }
    DisplayImageBytes image{};
    for (int y = 0; y < kDisplayHeight; ++y)
        for (int x = 0; x < kDisplayWidth; ++x) {
            int limit = threshold;
            // 64 limits 4 apart, centred on the threshold, so that a flat
            // grey keeps its share of dark pixels.
            if (dithering == Dithering::Bayer)
                limit += 4 * BayerRank(x % 8, y % 8) + 2 - 128;
            SetDisplayPixel(image, x, y,
                            grey[static_cast<std::size_t>(y * kDisplayWidth + x)] < limit);
        }
    return image;
}
