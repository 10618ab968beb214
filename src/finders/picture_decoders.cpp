#include "finders/picture_decoders.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unistd.h>

#include <jpeglib.h>
#include <libheif/heif.h>
#include <vips/vips.h>

#include <jerror.h>      // needs jpeglib.h before it
#include <vips/vector.h> // needs vips.h before it

#include "finders/resample.h"

namespace bramwick::PictureDecoders {

namespace {

using PictureFiles::Format;

void silently(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

// libvips is started once, on first use. oneTBB gives the parallelism, so libvips evaluates each
// picture with a single worker and keeps no cache of operations (every picture is read once). Every
// loader is blocked except the ones the ten formats need, so whatever libvips is asked, no
// document, vector or raw loader ever runs.
bool libvipsReady() {
    static bool ready = false;
    static std::once_flag once;
    std::call_once(once, [] {
        if (VIPS_INIT("bramwick") != 0) return;
        // The run-time compiled loops that libvips uses for resizing corrupt memory when
        // pictures are drawn on several threads while operations come and go (it crashed within
        // a few thousand small photos). The plain loops are no slower here.
        vips_vector_set_enabled(FALSE);
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        vips_cache_set_max_mem(0);
        vips_cache_set_max_files(0);
        vips_operation_block_set("VipsForeignLoad", TRUE);
        for (const char* loader :
             {"VipsForeignLoadJpegSource", "VipsForeignLoadPngSource", "VipsForeignLoadNsgifSource",
              "VipsForeignLoadTiffSource", "VipsForeignLoadWebpSource", "VipsForeignLoadHeifSource",
              "VipsForeignLoadMagickBuffer"})
            vips_operation_block_set(loader, FALSE);
        // Damaged pictures are common in a Downloads folder; they are simply not drawn.
        g_log_set_handler("VIPS",
                          static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE |
                                                      G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG),
                          silently, nullptr);
        heif_init(nullptr);
        ready = true;
    });
    return ready;
}

// Owns one reference to a libvips object.
template <typename T> class Ref {
  public:
    Ref() = default;
    explicit Ref(T* object) : object_(object) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    ~Ref() { reset(); }
    void reset(T* object = nullptr) {
        if (object_) g_object_unref(object_);
        object_ = object;
    }
    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    T* object_ = nullptr;
};

using Image = Ref<VipsImage>;

// Replaces `image` with what `operation(in, &out)` makes of it; false (and the error cleared)
// when the operation fails.
template <typename Operation> bool apply(Image& image, Operation&& operation) {
    VipsImage* out = nullptr;
    if (operation(image.get(), &out) != 0) {
        vips_error_clear();
        return false;
    }
    image.reset(out);
    return true;
}

bool readAll(int fd, void* buffer, std::size_t length, std::int64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
        ssize_t got = ::pread(fd, bytes, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        length -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

// The image's pixels, computed on this thread a band of rows at a time from top to bottom (the
// order in which a picture read in one pass gives them), packed row after row. libvips's own
// evaluation hands every picture to worker threads of its own; with one picture per thread
// already, that only adds hand-overs between threads, which cost more than the drawing of a small
// picture.
std::optional<std::vector<unsigned char>> pixelsOf(VipsImage* image) {
    Ref<VipsRegion> region(vips_region_new(image));
    if (!region) {
        vips_error_clear();
        return std::nullopt;
    }
    const int width = image->Xsize, height = image->Ysize;
    const auto line = static_cast<std::size_t>(VIPS_IMAGE_SIZEOF_LINE(image));
    std::vector<unsigned char> pixels(line * static_cast<std::size_t>(height));
    constexpr int band = 16;
    for (int top = 0; top < height; top += band) {
        VipsRect rect{0, top, width, std::min(band, height - top)};
        if (vips_region_prepare(region.get(), &rect) != 0) {
            vips_error_clear();
            return std::nullopt;
        }
        for (int y = top; y < top + rect.height; ++y)
            std::memcpy(pixels.data() + static_cast<std::size_t>(y) * line,
                        VIPS_REGION_ADDR(region.get(), 0, y), line);
    }
    return pixels;
}

// Pixels in memory as an image, with what the later steps read of the picture they came from:
// how they are to be read (the interpretation), its colour profile and its orientation.
Image imageOf(const std::vector<unsigned char>& pixels, int width, int height, int bands,
              VipsBandFormat format, VipsImage* from) {
    Image image(vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height, bands,
                                                format));
    if (!image) {
        vips_error_clear();
        return image;
    }
    image.get()->Type = from->Type;
    const void* profile = nullptr;
    std::size_t profileLength = 0;
    if (vips_image_get_typeof(from, VIPS_META_ICC_NAME) &&
        vips_image_get_blob(from, VIPS_META_ICC_NAME, &profile, &profileLength) == 0)
        vips_image_set_blob_copy(image.get(), VIPS_META_ICC_NAME, profile, profileLength);
    int orientation = 0;
    if (vips_image_get_typeof(from, VIPS_META_ORIENTATION) &&
        vips_image_get_int(from, VIPS_META_ORIENTATION, &orientation) == 0)
        vips_image_set_int(image.get(), VIPS_META_ORIENTATION, orientation);
    vips_error_clear();
    return image;
}

// The image computed now and held in memory.
bool holdInMemory(Image& image) {
    VipsImage* in = image.get();
    auto pixels = pixelsOf(in);
    if (!pixels) return false;
    Image held = imageOf(*pixels, in->Xsize, in->Ysize, in->Bands, in->BandFmt, in);
    if (!held) return false;
    image = std::move(held);
    return true;
}

// A JPEG decoded by libjpeg from the whole file in memory, rather than through libvips's reader,
// which hands the decoder a few kilobytes at a time: with so little in hand the decoder takes its
// slow path for most of each buffer, and the entropy-coded data is most of what a photo costs to
// draw. libjpeg reports a fatal error by calling `error_exit`, which must not return: it jumps
// back here, over libjpeg's own frames only.
struct JpegDecoding {
    jpeg_error_mgr errors{};
    std::jmp_buf failed{};
    jpeg_decompress_struct info{};
    std::vector<unsigned char> row;
    std::vector<unsigned char> pixels;
    bool reachedEnd = false;
};

// Decodes at 1/`shrink` of the size into `width` x `height` pixels: libjpeg rounds a scaled size
// up and draws the partial block at the edge, where libvips leaves that block out, so the size is
// the stored one divided by `shrink`, rounded down, as libvips gives it.
bool decodeJpeg(JpegDecoding& d, const std::vector<unsigned char>& file, int shrink,
                JDIMENSION width, JDIMENSION height) {
    d.info.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = [](j_common_ptr info) {
        std::longjmp(reinterpret_cast<JpegDecoding*>(info->err)->failed, 1);
    };
    // Damaged data is drawn as far as it goes, but a file that ends before its picture does is
    // not a picture: the missing rows would come out as a flat fill. Running into the end alone
    // is no proof of that, since the decoder reads ahead and many files lack only their end
    // marker; needing data after it is.
    d.errors.emit_message = [](j_common_ptr info, int level) {
        if (level >= 0) return;
        auto* decoding = reinterpret_cast<JpegDecoding*>(info->err);
        if (info->err->msg_code == JWRN_JPEG_EOF) decoding->reachedEnd = true;
        if (info->err->msg_code == JWRN_HIT_MARKER && decoding->reachedEnd)
            std::longjmp(decoding->failed, 1);
    };
    if (setjmp(d.failed)) {
        jpeg_destroy_decompress(&d.info);
        return false;
    }
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&d.info, TRUE);
    // Grey and colour pictures only; CMYK and the rarer kinds are left to libvips.
    if (d.info.jpeg_color_space == JCS_GRAYSCALE && d.info.num_components == 1)
        d.info.out_color_space = JCS_GRAYSCALE;
    else if ((d.info.jpeg_color_space == JCS_YCbCr || d.info.jpeg_color_space == JCS_RGB) &&
             d.info.num_components == 3)
        d.info.out_color_space = JCS_RGB;
    else
        longjmp(d.failed, 1);
    d.info.scale_num = 1;
    d.info.scale_denom = static_cast<unsigned>(shrink);
    jpeg_start_decompress(&d.info);
    if (d.info.output_width < width || d.info.output_height < height) longjmp(d.failed, 1);
    const auto components = static_cast<std::size_t>(d.info.output_components);
    const std::size_t line = std::size_t{width} * components;
    d.row.resize(std::size_t{d.info.output_width} * components);
    d.pixels.resize(line * height);
    while (d.info.output_scanline < height) {
        const std::size_t y = d.info.output_scanline;
        JSAMPROW row = d.row.data();
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1) longjmp(d.failed, 1);
        std::memcpy(d.pixels.data() + y * line, d.row.data(), line);
    }
    jpeg_destroy_decompress(&d.info); // the rows left out are never decoded
    return true;
}

// The JPEG at 1/`shrink` of its size, decoded here; none when libvips is to decode it instead
// (an unusual kind of JPEG, a file too large to read whole, or a failure).
std::optional<Resample::Pixels> decodedJpeg(int fd, std::int64_t fileSize, int shrink,
                                            VipsImage* header) {
    constexpr std::int64_t mostFileBytes = std::int64_t{64} << 20;
    constexpr std::int64_t mostDecodedPixels = std::int64_t{16} << 20;
    const int width = header->Xsize / shrink, height = header->Ysize / shrink;
    if (fileSize < 4 || fileSize > mostFileBytes || header->BandFmt != VIPS_FORMAT_UCHAR ||
        (header->Bands != 1 && header->Bands != 3) || width < 1 || height < 1 ||
        std::int64_t{width} * height > mostDecodedPixels)
        return std::nullopt;
    std::vector<unsigned char> file(static_cast<std::size_t>(fileSize));
    if (!readAll(fd, file.data(), file.size(), 0)) return std::nullopt;
    JpegDecoding decoding;
    if (!decodeJpeg(decoding, file, shrink, static_cast<JDIMENSION>(width),
                    static_cast<JDIMENSION>(height)) ||
        decoding.info.output_components != header->Bands)
        return std::nullopt;
    return Resample::Pixels{width, height, header->Bands, std::move(decoding.pixels)};
}

// libheif reads through the descriptor that was checked, never by the path again.
struct HeifInput {
    int fd;
    std::int64_t size;
    std::int64_t position = 0;
};

const heif_reader heifReader = {
    1,
    [](void* input) -> std::int64_t { return static_cast<HeifInput*>(input)->position; },
    [](void* data, std::size_t size, void* input) -> int {
        auto* in = static_cast<HeifInput*>(input);
        if (!readAll(in->fd, data, size, in->position)) return 1;
        in->position += static_cast<std::int64_t>(size);
        return 0;
    },
    [](std::int64_t position, void* input) -> int {
        static_cast<HeifInput*>(input)->position = position;
        return 0;
    },
    [](std::int64_t target, void* input) -> heif_reader_grow_status {
        return target > static_cast<HeifInput*>(input)->size
                   ? heif_reader_grow_status_size_beyond_eof
                   : heif_reader_grow_status_size_reached;
    },
};

// The stored size of the primary image, before any rotation the file asks for.
std::optional<std::pair<int, int>> heifSize(int fd, std::int64_t size) {
    HeifInput input{fd, size};
    heif_context* context = heif_context_alloc();
    if (!context) return std::nullopt;
    std::optional<std::pair<int, int>> result;
    heif_image_handle* handle = nullptr;
    if (heif_context_read_from_reader(context, &heifReader, &input, nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(context, &handle).code == heif_error_Ok) {
        int width = heif_image_handle_get_ispe_width(handle);
        int height = heif_image_handle_get_ispe_height(handle);
        if (width >= 1 && height >= 1) result = std::pair{width, height};
        heif_image_handle_release(handle);
    }
    heif_context_free(context);
    return result;
}

// The format's own loader over the source, at 1/`shrink` of the size where the format can decode
// smaller (JPEG, WebP). Only the header is read until pixels are asked for, and then only in one
// pass from top to bottom. A file that ends before its pixels do fails when they are drawn, rather
// than drawing what is missing as a flat fill.
Image openWith(VipsSource* source, Format format, int shrink = 1) {
    VipsImage* out = nullptr;
    auto access = VIPS_ACCESS_SEQUENTIAL;
    auto failOn = VIPS_FAIL_ON_TRUNCATED;
    int status = -1;
    switch (format) {
    case Format::jpeg:
        status = vips_jpegload_source(source, &out, "shrink", shrink, "access", access, "fail_on",
                                      failOn, nullptr);
        break;
    case Format::webp:
        status = vips_webpload_source(source, &out, "scale", 1.0 / shrink, "access", access,
                                      "fail_on", failOn, nullptr);
        break;
    case Format::png:
        status = vips_pngload_source(source, &out, "access", access, "fail_on", failOn, nullptr);
        break;
    case Format::gif:
        status = vips_gifload_source(source, &out, "access", access, "fail_on", failOn, nullptr);
        break;
    case Format::tiff:
        status = vips_tiffload_source(source, &out, "access", access, "fail_on", failOn, nullptr);
        break;
    case Format::heif:
        // The whole image, never the small preview some cameras store beside it.
        status = vips_heifload_source(source, &out, "thumbnail", FALSE, "access", access, "fail_on",
                                      failOn, nullptr);
        break;
    case Format::bmp:
        break; // decoded from memory, see load()
    }
    if (status != 0) {
        if (out) g_object_unref(out);
        vips_error_clear();
        return Image();
    }
    return Image(out);
}

// A source over the checked descriptor: libvips never opens the path itself.
Ref<VipsSource> sourceOf(int fd) {
    Ref<VipsSource> source(vips_source_new_from_descriptor(fd));
    if (!source) vips_error_clear();
    return source;
}

// A picture opened for decoding; for BMP also the bytes, which the decoder reads from memory and
// which must therefore outlive the image. A JPEG decoded here holds its pixels in `decoded`, and
// `image` is then only its header, for what the file says about the pixels.
struct Loaded {
    Image image;
    std::vector<char> bytes;
    std::optional<Resample::Pixels> decoded;
};

// Opens the first image of the file for decoding at no less than `target` pixels on its longer
// side where the format can decode smaller.
std::optional<Loaded> load(int fd, Format format, std::int64_t fileSize, int target) {
    Loaded loaded;
    if (format == Format::bmp) {
        if (fileSize > (std::int64_t{1} << 30)) return std::nullopt;
        loaded.bytes.resize(static_cast<std::size_t>(fileSize));
        if (!readAll(fd, loaded.bytes.data(), loaded.bytes.size(), 0)) return std::nullopt;
        VipsImage* out = nullptr;
        if (vips_magickload_buffer(loaded.bytes.data(), loaded.bytes.size(), &out, nullptr) != 0) {
            vips_error_clear();
            return std::nullopt;
        }
        loaded.image.reset(out);
        return loaded;
    }
    auto source = sourceOf(fd);
    if (!source) return std::nullopt;
    int shrink = 1;
    if (format == Format::jpeg || format == Format::webp) {
        Image header = openWith(source.get(), format);
        if (!header) return std::nullopt;
        // A progressive JPEG is held whole while it decodes, at its stored size whatever the
        // shrink, so the limit applies to that size (a file of a few kilobytes can claim one that
        // takes gigabytes). A baseline JPEG decodes shrunk, a strip at a time.
        int progressive = 0;
        if (format == Format::jpeg && vips_image_get_typeof(header.get(), "interlaced") &&
            vips_image_get_int(header.get(), "interlaced", &progressive) != 0)
            vips_error_clear();
        if (progressive && std::int64_t{header.get()->Xsize} * header.get()->Ysize > maximumPixels)
            return std::nullopt;
        int longer = std::max(header.get()->Xsize, header.get()->Ysize);
        while (shrink < 8 && longer / (shrink * 2) >= target)
            shrink *= 2;
        if (format == Format::jpeg) {
            loaded.decoded = decodedJpeg(fd, fileSize, shrink, header.get());
            if (loaded.decoded) {
                loaded.image = std::move(header);
                return loaded;
            }
        }
        header.reset();
        if (vips_source_rewind(source.get()) != 0) {
            vips_error_clear();
            return std::nullopt;
        }
    }
    loaded.image = openWith(source.get(), format, shrink);
    if (!loaded.image) return std::nullopt;
    return loaded;
}

// To 8-bit sRGB with three bands, whatever the picture was stored as (grey, CMYK, 16-bit, with a
// colour profile).
bool toSrgb(Image& image) {
    bool converted = false;
    if (vips_image_get_typeof(image.get(), VIPS_META_ICC_NAME))
        converted = apply(image, [](VipsImage* in, VipsImage** out) {
            return vips_icc_transform(in, out, "srgb", "embedded", TRUE, nullptr);
        });
    if (!converted && image.get()->Type != VIPS_INTERPRETATION_sRGB &&
        !apply(image, [](VipsImage* in, VipsImage** out) {
            return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
        }))
        return false;
    if (image.get()->BandFmt != VIPS_FORMAT_UCHAR &&
        !apply(image,
               [](VipsImage* in, VipsImage** out) { return vips_cast_uchar(in, out, nullptr); }))
        return false;
    int bands = image.get()->Bands;
    if (bands > 3)
        return apply(image, [](VipsImage* in, VipsImage** out) {
            return vips_extract_band(in, out, 0, "n", 3, nullptr);
        });
    if (bands < 3) {
        if (bands == 2 && !apply(image, [](VipsImage* in, VipsImage** out) {
                return vips_extract_band(in, out, 0, nullptr);
            }))
            return false;
        return apply(image, [](VipsImage* in, VipsImage** out) {
            VipsImage* three[] = {in, in, in};
            return vips_bandjoin(three, out, 3, nullptr);
        });
    }
    return true;
}

// The picture made no larger than `side` on its longer side (never enlarged), with transparency
// over white, held in memory. None when it cannot be read or is absurdly large.
std::optional<Image> thumbnailOf(Loaded& loaded, int side) {
    Image& image = loaded.image;
    if (loaded.decoded) {
        Resample::Pixels& pixels = *loaded.decoded;
        int longer = std::max(pixels.width, pixels.height);
        if (longer > side) {
            double scale = static_cast<double>(side) / longer;
            pixels = Resample::resized(
                pixels, std::max(1, static_cast<int>(std::lround(pixels.width * scale))),
                std::max(1, static_cast<int>(std::lround(pixels.height * scale))));
        }
        Image thumbnail = imageOf(pixels.bytes, pixels.width, pixels.height, pixels.channels,
                                  VIPS_FORMAT_UCHAR, image.get());
        if (!thumbnail) return std::nullopt;
        return thumbnail;
    }
    {
        // Checked on the header, before a single pixel is decoded.
        std::int64_t w = image.get()->Xsize, h = image.get()->Ysize;
        if (w < 1 || h < 1 || w * h > maximumPixels) return std::nullopt;
    }
    if (vips_image_hasalpha(image.get())) {
        double white = image.get()->Type == VIPS_INTERPRETATION_CMYK ? 0.0
                       : image.get()->BandFmt == VIPS_FORMAT_USHORT  ? 65535.0
                                                                     : 255.0;
        if (!apply(image, [white](VipsImage* in, VipsImage** out) {
                VipsArrayDouble* background = vips_array_double_newv(1, white);
                int status = vips_flatten(in, out, "background", background, nullptr);
                vips_area_unref(VIPS_AREA(background));
                return status;
            }))
            return std::nullopt;
    }
    int longer = std::max(image.get()->Xsize, image.get()->Ysize);
    if (longer > side) {
        double scale = static_cast<double>(side) / longer;
        // A soft kernel: a copy saved at another size then differs least along sharp edges.
        if (!apply(image, [scale](VipsImage* in, VipsImage** out) {
                return vips_resize(in, out, scale, "kernel", VIPS_KERNEL_LINEAR, nullptr);
            }))
            return std::nullopt;
    }
    if (!holdInMemory(image)) return std::nullopt;
    return std::move(image);
}

std::optional<std::pair<int, int>> storedSize(int fd, Format format, std::int64_t fileSize) {
    if (format == Format::heif) return heifSize(fd, fileSize);
    if (!libvipsReady()) return std::nullopt;
    auto source = sourceOf(fd);
    if (!source) return std::nullopt;
    Image image = openWith(source.get(), format); // only the header is read
    if (!image) return std::nullopt;
    int width = image.get()->Xsize, height = image.get()->Ysize;
    if (width < 1 || height < 1) return std::nullopt;
    return std::pair{width, height};
}

std::optional<std::vector<unsigned char>> render(int fd, Format format, std::int64_t fileSize,
                                                 int thumbnailSide, int squareSide, bool grey) {
    if (!libvipsReady()) return std::nullopt;
    auto loaded = load(fd, format, fileSize, thumbnailSide);
    if (!loaded) return std::nullopt;
    auto thumbnail = thumbnailOf(*loaded, thumbnailSide);
    if (!thumbnail) return std::nullopt;
    // Everything from here on works on the small thumbnail, in memory.
    Image& image = *thumbnail;
    if (!toSrgb(image)) return std::nullopt;
    if (!apply(image,
               [](VipsImage* in, VipsImage** out) { return vips_autorot(in, out, nullptr); }))
        return std::nullopt;
    auto upright = pixelsOf(image.get());
    if (!upright) return std::nullopt;
    auto square = Resample::resized(
        {image.get()->Xsize, image.get()->Ysize, 3, std::move(*upright)}, squareSide, squareSide);
    if (square.bytes.size() != static_cast<std::size_t>(squareSide) * squareSide * 3)
        return std::nullopt;
    if (grey) {
        // libvips's own grey, which weighs the colours in linear light as the eye does.
        Image colour =
            imageOf(square.bytes, squareSide, squareSide, 3, VIPS_FORMAT_UCHAR, image.get());
        if (!colour || !apply(colour, [](VipsImage* in, VipsImage** out) {
                return vips_colourspace(in, out, VIPS_INTERPRETATION_B_W, nullptr);
            }))
            return std::nullopt;
        auto pixels = pixelsOf(colour.get());
        if (!pixels || pixels->size() != static_cast<std::size_t>(squareSide) * squareSide)
            return std::nullopt;
        return pixels;
    }
    std::vector<unsigned char> grid(static_cast<std::size_t>(squareSide) * squareSide * 4);
    for (std::size_t p = 0, q = 0; q < grid.size(); p += 3, q += 4) {
        grid[q] = square.bytes[p];
        grid[q + 1] = square.bytes[p + 1];
        grid[q + 2] = square.bytes[p + 2];
    }
    return grid;
}

const Table decoders{storedSize, render};

} // namespace

} // namespace bramwick::PictureDecoders

extern "C" const bramwick::PictureDecoders::Table* bramwick_picture_decoders() {
    return &bramwick::PictureDecoders::decoders;
}
