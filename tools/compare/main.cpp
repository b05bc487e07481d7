// kelpwax-compare A.png B.png: how far apart two pictures of the same size are,
// channel by channel. Used to check that a port draws what the reference
// OpenGL device draws, and that a change leaves the picture as it was.
//
// Prints the largest and the mean absolute difference per channel (in 1/255
// steps) and the share of pixels whose every channel is within 16/255.
// Exit code: 0 when the pictures match (mean ≤ 2/255 in every channel and at
// least 99 % of pixels within 16/255), 1 when they do not, 2 on bad input.
// --max-difference N instead asks that no channel of any pixel differs by more than N.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/picture_decoder.h"

int main(int argc, char** argv)
{
    int maxAllowed = -1;
    if (argc == 5 && std::string(argv[1]) == "--max-difference") {
        maxAllowed = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: kelpwax-compare [--max-difference N] A.png B.png\n");
        return 2;
    }
    Picture pictures[2];
    for (int i = 0; i < 2; ++i) {
        std::string failure;
        if (!readPictureFile(argv[1 + i], pictures[i], failure)) {
            std::fprintf(stderr, "kelpwax-compare: %s: %s\n", argv[1 + i], failure.c_str());
            return 2;
        }
    }
    if (pictures[0].width != pictures[1].width || pictures[0].height != pictures[1].height) {
        std::fprintf(stderr, "kelpwax-compare: the pictures differ in size: %d x %d and %d x %d\n", pictures[0].width,
                     pictures[0].height, pictures[1].width, pictures[1].height);
        return 2;
    }

    std::array<int, 4> largest{};
    std::array<double, 4> sum{};
    std::size_t closePixels = 0;
    const std::size_t pixelCount = pictures[0].rgba.size() / 4;
    for (std::size_t p = 0; p < pixelCount; ++p) {
        int pixelLargest = 0;
        for (int c = 0; c < 4; ++c) {
            const int difference = std::abs(pictures[0].rgba[4 * p + c] - pictures[1].rgba[4 * p + c]);
            largest[c] = std::max(largest[c], difference);
            sum[c] += difference;
            pixelLargest = std::max(pixelLargest, difference);
        }
        closePixels += pixelLargest <= 16;
    }
    std::array<double, 4> mean{};
    for (int c = 0; c < 4; ++c) {
        mean[c] = sum[c] / static_cast<double>(pixelCount);
    }
    const double closeShare = 100.0 * static_cast<double>(closePixels) / static_cast<double>(pixelCount);
    std::printf(
        "largest difference R %d G %d B %d A %d; mean R %.3f G %.3f B %.3f A %.3f; "
        "%.2f %% of pixels within 16\n",
        largest[0], largest[1], largest[2], largest[3], mean[0], mean[1], mean[2], mean[3], closeShare);
    if (maxAllowed >= 0) {
        return *std::max_element(largest.begin(), largest.end()) <= maxAllowed ? 0 : 1;
    }
    return *std::max_element(mean.begin(), mean.end()) <= 2.0 && closeShare >= 99.0 ? 0 : 1;
}
