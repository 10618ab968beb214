// Pictures made for tests: photo-like scenes built from a seed, saved in any of the formats the
// picture finder reads. The same scene saved at another size or in another format is "the same
// picture saved again"; another seed or caption is another picture.
#pragma once

#include <array>
#include <memory>
#include <string>

namespace bramwick::test {

class Picture {
  public:
    // Soft colour gradients, blurred shapes, a little grain and an optional caption in black on
    // white, all placed relative to the size so that every size shows the same scene.
    static Picture photo(int width, int height, unsigned seed, const std::string& caption = {});
    // One colour all over; with `alpha` below 255 it is partly transparent.
    static Picture flat(int width, int height, std::array<int, 3> rgb, int alpha = 255);

    Picture resized(int width, int height) const;
    // Turned a quarter to the left: how a camera held upright stores a portrait scene, with the
    // orientation flag 6 telling viewers to turn it back.
    Picture turned() const;
    // Saved in the format of the path's extension; `options` as libvips takes them ("[Q=80]").
    // A JPEG given `orientation` stores that flag.
    void save(const std::string& path, const std::string& options = "", int orientation = 0) const;

    // Saved as HEIF with `thumbnail`, at half its size, stored as the file's own small preview.
    void saveHeifWithThumbnail(const std::string& path, const Picture& thumbnail) const;

    int width() const;
    int height() const;

    Picture(const Picture&);
    Picture& operator=(const Picture&);
    ~Picture();

  private:
    struct Image;
    explicit Picture(std::shared_ptr<Image> image);
    std::shared_ptr<Image> image_;
};

} // namespace bramwick::test
