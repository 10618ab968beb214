#include "support/pictures.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include <libheif/heif.h>
#include <vips/vips.h>

namespace bramwick::test {

struct Picture::Image {
    VipsImage* vips;
    explicit Image(VipsImage* image) : vips(image) {}
    ~Image() { g_object_unref(vips); }
};

namespace {

void ready() {
    static bool started = VIPS_INIT("bramwick-tests") == 0;
    if (!started) throw std::runtime_error("libvips did not start");
}

VipsImage* check(int status, VipsImage* image) {
    if (status != 0 || !image) {
        std::string error = vips_error_buffer();
        vips_error_clear();
        throw std::runtime_error("libvips: " + error);
    }
    return image;
}

// A 5 by 7 dot font for captions: drawing text needs no font library, which is not safe to use
// from several threads at once (the benchmark draws its photos in parallel). Small letters are
// drawn as capitals; a character it lacks is left blank.
const char* glyph(char c) {
    static const struct {
        char c;
        const char* rows;
    } font[] = {
        {'0', ".###.#...##..###.#.###..##...#.###."}, {'1', "..#...##....#....#....#....#...###."},
        {'2', ".###.#...#....#...#...#...#...#####"}, {'3', "#####...#...#.....#.....##...#.###."},
        {'4', "...#...##..#.#.#..#.#####...#....#."}, {'5', "######....####.....#....##...#.###."},
        {'6', "..##..#...#....####.#...##...#.###."}, {'7', "#####....#...#...#...#....#....#..."},
        {'8', ".###.#...##...#.###.#...##...#.###."}, {'9', ".###.#...##...#.####....#...#..##.."},
        {'A', ".###.#...##...#######...##...##...#"}, {'B', "####.#...##...#####.#...##...#####."},
        {'C', ".###.#...##....#....#....#...#.###."}, {'D', "###..#..#.#...##...##...##..#.###.."},
        {'E', "######....#....####.#....#....#####"}, {'F', "######....#....####.#....#....#...."},
        {'G', ".###.#...##....#.####...##...#.####"}, {'H', "#...##...##...#######...##...##...#"},
        {'I', ".###...#....#....#....#....#...###."}, {'J', "..###...#....#....#....#.#..#..##.."},
        {'K', "#...##..#.#.#..##...#.#..#..#.#...#"}, {'L', "#....#....#....#....#....#....#####"},
        {'M', "#...###.###.#.##...##...##...##...#"}, {'N', "#...##...###..##.#.##..###...##...#"},
        {'O', ".###.#...##...##...##...##...#.###."}, {'P', "####.#...##...#####.#....#....#...."},
        {'Q', ".###.#...##...##...##.#.##..#..##.#"}, {'R', "####.#...##...#####.#.#..#..#.#...#"},
        {'S', ".#####....#.....###.....#....#####."}, {'T', "#####..#....#....#....#....#....#.."},
        {'U', "#...##...##...##...##...##...#.###."}, {'V', "#...##...##...##...##...#.#.#...#.."},
        {'W', "#...##...##...##.#.##.#.##.#.#.#.#."}, {'X', "#...##...#.#.#...#...#.#.#...##...#"},
        {'Y', "#...##...#.#.#...#....#....#....#.."}, {'Z', "#####....#...#...#...#...#....#####"},
    };
    char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    for (const auto& entry : font)
        if (entry.c == upper) return entry.rows;
    return nullptr;
}

// Draws `text` in black dots, as large as fits the box, centred in it.
void drawCaption(VipsImage* image, const std::string& text, int x, int y, int width, int height) {
    int columns = static_cast<int>(text.size()) * 6 - 1;
    int dot = std::max(1, std::min(width / columns, height / 7));
    int left = x + (width - columns * dot) / 2, top = y + (height - 7 * dot) / 2;
    double black[3] = {0, 0, 0};
    for (std::size_t k = 0; k < text.size(); ++k) {
        const char* rows = glyph(text[k]);
        if (!rows) continue;
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (rows[row * 5 + column] == '#')
                    check(vips_draw_rect(image, black, 3,
                                         left + (static_cast<int>(k) * 6 + column) * dot,
                                         top + row * dot, dot, dot, "fill", TRUE, nullptr),
                          image);
    }
}

// Runs a libvips operation that makes a new image from `in`, and drops `in`.
template <typename Operation> VipsImage* step(VipsImage* in, Operation&& operation) {
    VipsImage* out = nullptr;
    int status = operation(in, &out);
    g_object_unref(in);
    return check(status, out);
}

VipsImage* memoryCopy(VipsImage* in) {
    return step(in, [](VipsImage* i, VipsImage** o) {
        *o = vips_image_copy_memory(i);
        return *o ? 0 : -1;
    });
}

} // namespace

Picture::Picture(std::shared_ptr<Image> image) : image_(std::move(image)) {}
Picture::Picture(const Picture&) = default;
Picture& Picture::operator=(const Picture&) = default;
Picture::~Picture() = default;

int Picture::width() const {
    return image_->vips->Xsize;
}
int Picture::height() const {
    return image_->vips->Ysize;
}

Picture Picture::photo(int width, int height, unsigned seed, const std::string& caption) {
    ready();
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);

    // A coarse grid of random colours, enlarged smoothly: the gradients of sky and walls.
    const int gw = 6, gh = 5;
    std::vector<unsigned char> coarse(gw * gh * 3);
    for (auto& c : coarse)
        c = static_cast<unsigned char>(40 + 180 * unit(random));
    VipsImage* image = check(0, vips_image_new_from_memory_copy(coarse.data(), coarse.size(), gw,
                                                                gh, 3, VIPS_FORMAT_UCHAR));
    image = step(image, [&](VipsImage* i, VipsImage** o) {
        return vips_resize(i, o, double(width) / gw, "vscale", double(height) / gh, "kernel",
                           VIPS_KERNEL_CUBIC, nullptr);
    });
    image = step(image, [&](VipsImage* i, VipsImage** o) {
        return vips_embed(i, o, 0, 0, width, height, "extend", VIPS_EXTEND_COPY, nullptr);
    });
    image = memoryCopy(image);

    // Objects: discs and blocks of solid colour.
    int shortSide = std::min(width, height);
    for (int k = 0; k < 14; ++k) {
        double ink[3] = {255 * unit(random), 255 * unit(random), 255 * unit(random)};
        int x = static_cast<int>(width * unit(random)), y = static_cast<int>(height * unit(random));
        int r = static_cast<int>(shortSide * (0.04 + 0.12 * unit(random)));
        int status = k % 2 ? vips_draw_circle(image, ink, 3, x, y, r, "fill", TRUE, nullptr)
                           : vips_draw_rect(image, ink, 3, x - r, y - r / 2, 2 * r, r, "fill", TRUE,
                                            nullptr);
        check(status, image);
    }
    // A caption on a white label, as on a poster or a slide.
    if (!caption.empty()) {
        int lx = width / 10, ly = height * 7 / 10, lw = width * 6 / 10, lh = height / 6;
        double white[3] = {255, 255, 255};
        check(vips_draw_rect(image, white, 3, lx, ly, lw, lh, "fill", TRUE, nullptr), image);
        drawCaption(image, caption, lx + lw / 20, ly + lh / 10, lw * 9 / 10, lh * 8 / 10);
    }
    // Soft edges and a little grain, as a camera gives them.
    double sigma = std::max(0.6, shortSide / 900.0);
    image = step(image,
                 [&](VipsImage* i, VipsImage** o) { return vips_gaussblur(i, o, sigma, nullptr); });
    VipsImage* grain = nullptr;
    int status = vips_gaussnoise(&grain, width, height, "sigma", 4.0, "mean", 0.0, "seed",
                                 int(seed), nullptr);
    check(status, grain);
    image =
        step(image, [&](VipsImage* i, VipsImage** o) { return vips_add(i, grain, o, nullptr); });
    g_object_unref(grain);
    image = step(image, [](VipsImage* i, VipsImage** o) { return vips_cast_uchar(i, o, nullptr); });
    image = step(image, [](VipsImage* i, VipsImage** o) {
        return vips_copy(i, o, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr);
    });
    return Picture(std::make_shared<Image>(memoryCopy(image)));
}

Picture Picture::flat(int width, int height, std::array<int, 3> rgb, int alpha) {
    ready();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    for (std::size_t p = 0; p < pixels.size(); p += 4) {
        pixels[p] = static_cast<unsigned char>(rgb[0]);
        pixels[p + 1] = static_cast<unsigned char>(rgb[1]);
        pixels[p + 2] = static_cast<unsigned char>(rgb[2]);
        pixels[p + 3] = static_cast<unsigned char>(alpha);
    }
    VipsImage* image = check(0, vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width,
                                                                height, 4, VIPS_FORMAT_UCHAR));
    if (alpha == 255)
        image = step(image, [](VipsImage* i, VipsImage** o) {
            return vips_extract_band(i, o, 0, "n", 3, nullptr);
        });
    image = step(image, [](VipsImage* i, VipsImage** o) {
        return vips_copy(i, o, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr);
    });
    return Picture(std::make_shared<Image>(image));
}

Picture Picture::resized(int width, int height) const {
    g_object_ref(image_->vips);
    VipsImage* image = step(image_->vips, [&](VipsImage* i, VipsImage** o) {
        return vips_resize(i, o, double(width) / i->Xsize, "vscale", double(height) / i->Ysize,
                           nullptr);
    });
    return Picture(std::make_shared<Image>(memoryCopy(image)));
}

Picture Picture::turned() const {
    g_object_ref(image_->vips);
    VipsImage* image =
        step(image_->vips, [](VipsImage* i, VipsImage** o) { return vips_rot270(i, o, nullptr); });
    return Picture(std::make_shared<Image>(memoryCopy(image)));
}

void Picture::save(const std::string& path, const std::string& options, int orientation) const {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    VipsImage* image = nullptr;
    int copied = vips_copy(image_->vips, &image, nullptr);
    check(copied, image);
    if (orientation) vips_image_set_int(image, VIPS_META_ORIENTATION, orientation);
    int status = vips_image_write_to_file(image, (path + options).c_str(), nullptr);
    g_object_unref(image);
    check(status, image_->vips);
}

namespace {

heif_image* heifImage(VipsImage* picture) {
    std::size_t length = 0;
    void* pixels = vips_image_write_to_memory(picture, &length);
    if (!pixels) throw std::runtime_error("libvips could not write the pixels");
    int width = picture->Xsize, height = picture->Ysize;
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < height; ++y)
        std::memcpy(plane + static_cast<std::size_t>(y) * stride,
                    static_cast<unsigned char*>(pixels) + static_cast<std::size_t>(y) * width * 3,
                    static_cast<std::size_t>(width) * 3);
    g_free(pixels);
    return image;
}

void succeeded(heif_error error) {
    if (error.code != heif_error_Ok)
        throw std::runtime_error(std::string("libheif: ") + error.message);
}

} // namespace

void Picture::saveHeifWithThumbnail(const std::string& path, const Picture& thumbnail) const {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    succeeded(heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder));
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image* main = heifImage(image_->vips);
    heif_image* small = heifImage(thumbnail.image_->vips);
    heif_image_handle* mainHandle = nullptr;
    heif_image_handle* smallHandle = nullptr;
    succeeded(heif_context_encode_image(context, main, encoder, nullptr, &mainHandle));
    // Stored at most half the thumbnail's size, as cameras store their previews.
    int box = std::max(thumbnail.width(), thumbnail.height()) / 2;
    succeeded(heif_context_encode_thumbnail(context, small, mainHandle, encoder, nullptr, box,
                                            &smallHandle));
    succeeded(heif_context_write_to_file(context, path.c_str()));
    heif_image_handle_release(mainHandle);
    if (smallHandle) heif_image_handle_release(smallHandle);
    heif_image_release(main);
    heif_image_release(small);
    heif_encoder_release(encoder);
    heif_context_free(context);
}

} // namespace bramwick::test
