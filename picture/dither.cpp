// Grey to black and white: a threshold, error diffusion or ordered dither.
#include "picture/picture.h"

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
std::vector<std::uint8_t> Diffused(const GreyPicture& grey, int threshold, const Share (&shares)[N],
                                   int divisor) {
    const int w = grey.width, h = grey.height;
    std::vector<std::uint8_t> dark(grey.pixels.size());
    std::vector<int> level(grey.pixels.begin(), grey.pixels.end());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::size_t at = std::size_t(y) * std::size_t(w) + std::size_t(x);
            int value = level[at];
            dark[at] = value < threshold;
            int error = value - (dark[at] ? 0 : 255);
            for (const Share& share : shares) {
                int nx = x + share.dx, ny = y + share.dy;
                if (nx >= 0 && nx < w && ny < h)
                    level[std::size_t(ny) * std::size_t(w) + std::size_t(nx)] +=
                        error * share.weight / divisor;
            }
        }
    return dark;
}

} // namespace

std::vector<std::uint8_t> DarkPixels(const GreyPicture& grey, int threshold, Dithering dithering) {
    switch (dithering) {
    case Dithering::FloydSteinberg:
        return Diffused(grey, threshold, kFloydSteinberg, kFloydSteinbergDivisor);
    case Dithering::Atkinson:
        return Diffused(grey, threshold, kAtkinson, kAtkinsonDivisor);
    case Dithering::None:
    case Dithering::Bayer:
        break;
    }
    std::vector<std::uint8_t> dark(grey.pixels.size());
    for (int y = 0; y < grey.height; ++y)
        for (int x = 0; x < grey.width; ++x) {
            int limit = threshold;
            // 64 limits 4 apart, centred on the threshold, so that a flat
            // grey keeps its share of dark pixels.
            if (dithering == Dithering::Bayer)
                limit += 4 * BayerRank(x % 8, y % 8) + 2 - 128;
            std::size_t at = std::size_t(y) * std::size_t(grey.width) + std::size_t(x);
            dark[at] = grey.pixels[at] < limit;
        }
    return dark;
}
