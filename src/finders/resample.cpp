#include "finders/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace bramwick::Resample {

namespace {

// Weights are fixed point with 14 fractional bits; the rows between the two passes keep 8 bits
// below the byte, so both sums stay well inside 32 bits.
constexpr int weightBits = 14;
constexpr int weightOne = 1 << weightBits;
constexpr int betweenShift = 6; // 14 - 8
constexpr int finalShift = weightBits + 8;

// For every output position along one axis: the first input position it reads and the weights of
// it and the positions after it.
struct Taps {
    int most = 0; // weights stored per output position
    std::vector<int> first;
    std::vector<int> count;
    std::vector<int> weights;
};

Taps tapsFor(int in, int out) {
    const double scale = static_cast<double>(in) / out; // input pixels per output pixel
    const double reach = std::max(1.0, scale);          // half the triangle's width
    Taps taps;
    taps.most = static_cast<int>(std::ceil(reach)) * 2 + 1;
    taps.first.resize(static_cast<std::size_t>(out));
    taps.count.resize(static_cast<std::size_t>(out));
    taps.weights.assign(static_cast<std::size_t>(out) * static_cast<std::size_t>(taps.most), 0);
    std::vector<double> shares(static_cast<std::size_t>(taps.most));
    for (int o = 0; o < out; ++o) {
        const double centre = (o + 0.5) * scale - 0.5;
        const int low = static_cast<int>(std::floor(centre - reach)) + 1;
        const int high = static_cast<int>(std::ceil(centre + reach)) - 1;
        // Positions past an edge read the edge pixel, so their shares go to it.
        const int first = std::clamp(low, 0, in - 1), last = std::clamp(high, 0, in - 1);
        const int count = last - first + 1;
        std::fill(shares.begin(), shares.begin() + count, 0.0);
        double total = 0;
        for (int i = low; i <= high; ++i) {
            double share = 1.0 - std::abs(i - centre) / reach;
            if (share <= 0) continue;
            shares[static_cast<std::size_t>(std::clamp(i, 0, in - 1) - first)] += share;
            total += share;
        }
        int* weights = &taps.weights[static_cast<std::size_t>(o) * taps.most];
        int sum = 0, largest = 0;
        for (int k = 0; k < count; ++k) {
            weights[k] = static_cast<int>(
                std::lround(shares[static_cast<std::size_t>(k)] / total * weightOne));
            sum += weights[k];
            if (weights[k] > weights[largest]) largest = k;
        }
        weights[largest] += weightOne - sum; // the weights add up to exactly one
        taps.first[static_cast<std::size_t>(o)] = first;
        taps.count[static_cast<std::size_t>(o)] = count;
    }
    return taps;
}

} // namespace

Pixels resized(const Pixels& in, int width, int height) {
    const int c = in.channels;
    if (width < 1 || height < 1 || in.width < 1 || in.height < 1 || c < 1 ||
        in.bytes.size() != static_cast<std::size_t>(in.width) * in.height * c)
        return {};
    if (width == in.width && height == in.height) return in;
    const Taps across = tapsFor(in.width, width), down = tapsFor(in.height, height);
    const std::size_t inLine = static_cast<std::size_t>(in.width) * c;
    const std::size_t outLine = static_cast<std::size_t>(width) * c;

    // Across every input row first, then down: each output row is a weighted sum of whole rows.
    std::vector<std::uint16_t> between(outLine * static_cast<std::size_t>(in.height));
    for (int y = 0; y < in.height; ++y) {
        const unsigned char* row = in.bytes.data() + inLine * static_cast<std::size_t>(y);
        std::uint16_t* out = between.data() + outLine * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
            const int* weights = &across.weights[static_cast<std::size_t>(x) * across.most];
            const unsigned char* from = row + static_cast<std::size_t>(across.first[x]) * c;
            const int count = across.count[x];
            for (int channel = 0; channel < c; ++channel) {
                int sum = 0;
                for (int k = 0; k < count; ++k)
                    sum += weights[k] * from[k * c + channel];
                out[x * c + channel] =
                    static_cast<std::uint16_t>((sum + (1 << (betweenShift - 1))) >> betweenShift);
            }
        }
    }

    Pixels result{width, height, c, std::vector<unsigned char>(outLine * height)};
    std::vector<std::int32_t> sums(outLine);
    for (int y = 0; y < height; ++y) {
        const int* weights = &down.weights[static_cast<std::size_t>(y) * down.most];
        std::fill(sums.begin(), sums.end(), (1 << (finalShift - 1)));
        for (int k = 0; k < down.count[y]; ++k) {
            const std::uint16_t* row =
                between.data() + outLine * static_cast<std::size_t>(down.first[y] + k);
            const int weight = weights[k];
            for (std::size_t i = 0; i < outLine; ++i)
                sums[i] += weight * row[i];
        }
        unsigned char* out = result.bytes.data() + outLine * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < outLine; ++i)
            out[i] = static_cast<unsigned char>(std::min(255, sums[i] >> finalShift));
    }
    return result;
}

} // namespace bramwick::Resample
