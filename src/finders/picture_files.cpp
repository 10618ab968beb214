#include "finders/picture_files.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <unistd.h>

#include "base/unique_fd.h"
#include "finders/picture_decoders.h"
#include "platform/modules.h"

// Defined only where the decoders are linked in; the program itself loads them as a module.
extern "C" const bramwick::PictureDecoders::Table* bramwick_picture_decoders()
    __attribute__((weak));

namespace bramwick::PictureFiles {

namespace {

constexpr std::size_t leadingBytes = 64;

struct Decoders {
    const PictureDecoders::Table* table = nullptr;
    std::string problem;
};

// The decoders, loaded the first time a picture is read, from any of the finders' threads.
const Decoders& decoders() {
    static Decoders loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        if (bramwick_picture_decoders) {
            loaded.table = bramwick_picture_decoders();
            return;
        }
        auto entry = Modules::entry(PictureDecoders::moduleFile, PictureDecoders::entryName);
        if (entry.address)
            loaded.table = reinterpret_cast<const PictureDecoders::Table* (*)()>(entry.address)();
        else
            loaded.problem = "pictures cannot be read: " + entry.problem;
    });
    return loaded;
}

std::atomic<bool> asked{false};

const PictureDecoders::Table* table() {
    asked = true;
    return decoders().table;
}

std::string leading(int fd) {
    std::string bytes(leadingBytes, '\0');
    ssize_t got;
    do
        got = ::pread(fd, bytes.data(), bytes.size(), 0);
    while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

// The size a BMP header states: the format is simple enough that its fixed header is read here
// rather than asking a decoder to take in the whole file.
std::optional<std::pair<int, int>> bmpSize(std::string_view header) {
    if (header.size() < 26) return std::nullopt;
    std::uint32_t infoSize = littleEndian(header, 14, 4);
    std::int64_t width, height;
    if (infoSize == 12) {
        width = littleEndian(header, 18, 2);
        height = littleEndian(header, 20, 2);
    } else {
        width = static_cast<std::int32_t>(littleEndian(header, 18, 4));
        height = static_cast<std::int32_t>(littleEndian(header, 22, 4));
        if (height < 0) height = -height; // stored top-down
    }
    if (width < 1 || height < 1 || width > 1'000'000 || height > 1'000'000) return std::nullopt;
    return std::pair{static_cast<int>(width), static_cast<int>(height)};
}

} // namespace

std::optional<Format> sniff(std::string_view b) {
    auto at = [&](std::size_t offset, std::string_view magic) {
        return b.size() >= offset + magic.size() && b.substr(offset, magic.size()) == magic;
    };
    if (at(0, "\xFF\xD8\xFF")) return Format::jpeg;
    if (at(0, "\x89PNG\r\n\x1A\n")) return Format::png;
    if (at(0, "GIF87a") || at(0, "GIF89a")) return Format::gif;
    if (at(0, std::string_view("II*\0", 4)) || at(0, std::string_view("MM\0*", 4)) ||
        at(0, std::string_view("II+\0", 4)) || at(0, std::string_view("MM\0+", 4)))
        return Format::tiff;
    if (at(0, "RIFF") && at(8, "WEBP")) return Format::webp;
    if (at(0, "BM") && b.size() >= 18) {
        std::uint32_t infoSize = littleEndian(b, 14, 4);
        for (std::uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
            if (infoSize == known) return Format::bmp;
        return std::nullopt;
    }
    if (at(4, "ftyp") && b.size() >= 12) {
        // HEIF still pictures and sequences; AVIF and video brands are not among the formats.
        for (std::string_view brand :
             {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", "mif1", "msf1"})
            if (at(8, brand)) return Format::heif;
    }
    return std::nullopt;
}

std::optional<std::pair<int, int>> storedSize(const std::string& path,
                                              std::optional<FileWalk::Identity> identity) {
    std::int64_t fileSize = 0;
    UniqueFd fd(FileWalk::openRegular(path, identity, &fileSize));
    if (fd.get() < 0) return std::nullopt;
    std::string header = leading(fd.get());
    auto format = sniff(header);
    if (!format) return std::nullopt;
    if (*format == Format::bmp) return bmpSize(header);
    auto* decoders = table();
    if (!decoders) return std::nullopt;
    return decoders->storedSize(fd.get(), *format, fileSize);
}

std::optional<std::vector<unsigned char>> render(const std::string& path,
                                                 std::optional<FileWalk::Identity> identity,
                                                 int thumbnailSide, int squareSide, bool grey) {
    std::int64_t fileSize = 0;
    UniqueFd fd(FileWalk::openRegular(path, identity, &fileSize));
    if (fd.get() < 0) return std::nullopt;
    std::string header = leading(fd.get());
    auto format = sniff(header);
    if (!format) return std::nullopt;
    if (*format == Format::bmp) {
        auto size = bmpSize(header);
        if (!size || std::int64_t{size->first} * size->second > PictureDecoders::maximumPixels)
            return std::nullopt;
    }
    auto* decoders = table();
    if (!decoders) return std::nullopt;
    return decoders->render(fd.get(), *format, fileSize, thumbnailSide, squareSide, grey);
}

std::optional<std::string> unreadable() {
    if (!asked) return std::nullopt;
    const Decoders& loaded = decoders();
    if (loaded.table) return std::nullopt;
    return loaded.problem;
}

} // namespace bramwick::PictureFiles
