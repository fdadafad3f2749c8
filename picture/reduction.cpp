#include "picture/decoders.h"

#include <algorithm>

Reduction StartReduction(int width, int height, int coverWidth, int coverHeight) {
    Reduction reduction;
    reduction.width = width;
    reduction.height = height;
    reduction.factor =
        std::max(1, std::min(width / std::max(1, coverWidth), height / std::max(1, coverHeight)));
    reduction.outWidth = (width + reduction.factor - 1) / reduction.factor;
    reduction.outHeight = (height + reduction.factor - 1) / reduction.factor;
    reduction.sums.assign(std::size_t(reduction.outWidth) * std::size_t(reduction.outHeight), 0);
    return reduction;
}

void AddGreyRow(Reduction& reduction, int y, const std::uint8_t* grey) {
    if (y < 0 || y >= reduction.height)
        return;
    const int k = reduction.factor;
    std::uint32_t* sums =
        reduction.sums.data() + std::size_t(y / k) * std::size_t(reduction.outWidth);
    if (k == 1) {
        for (int x = 0; x < reduction.width; ++x)
            sums[x] += grey[x];
        return;
    }
    for (int x = 0, block = 0; x < reduction.width; x += k, ++block) {
        std::uint32_t sum = 0;
        for (int end = std::min(reduction.width, x + k), i = x; i < end; ++i)
            sum += grey[i];
        sums[block] += sum;
    }
}

GreyPicture FinishReduction(const Reduction& reduction) {
    GreyPicture picture;
    picture.width = reduction.outWidth;
    picture.height = reduction.outHeight;
    picture.pixels.resize(reduction.sums.size());
    const int k = reduction.factor;
    for (int by = 0; by < reduction.outHeight; ++by) {
        std::uint32_t rows = std::uint32_t(std::min(k, reduction.height - by * k));
        for (int bx = 0; bx < reduction.outWidth; ++bx) {
            std::uint32_t count = rows * std::uint32_t(std::min(k, reduction.width - bx * k));
            std::size_t at = std::size_t(by) * std::size_t(reduction.outWidth) + std::size_t(bx);
            picture.pixels[at] =
                static_cast<std::uint8_t>((reduction.sums[at] + count / 2) / count);
        }
    }
    return picture;
}
