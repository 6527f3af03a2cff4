// One-bit greyscale PNG through libpng.
#include "common/png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/text.h"

namespace {

// libpng reports errors by longjmp: nothing with a destructor lives between
// the setjmp and the calls that may jump.
struct PngWriter {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() {
        if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
        if (file != nullptr) std::fclose(file);
    }
};

// PNG's one-bit grey has 0 for black; the picture has 1 for black.
void InvertedRows(const Picture& picture, std::vector<png_byte>& bits,
                  std::vector<png_bytep>& rows) {
    bits.assign(picture.bits.begin(), picture.bits.end());
    for (png_byte& byte : bits) byte = static_cast<png_byte>(~byte);
    rows.resize(picture.height);
    for (std::uint32_t y = 0; y < picture.height; ++y)
        rows[y] = bits.data() + static_cast<size_t>(RowBytes(picture.width)) * y;
}

bool Write(PngWriter& writer, const Picture& picture, png_bytep* rows) {
    if (setjmp(png_jmpbuf(writer.png))) return false;
    png_init_io(writer.png, writer.file);
    png_set_IHDR(writer.png, writer.info, picture.width, picture.height, 1, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, rows);
    png_write_end(writer.png, nullptr);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, const Picture& picture, std::string& error) {
    if (picture.width == 0 || picture.height == 0) {
        error = Format("cannot write %s: the picture is empty", path.c_str());
        return false;
    }
    std::vector<png_byte> bits;
    std::vector<png_bytep> rows;
    InvertedRows(picture, bits, rows);
    PngWriter writer;
    writer.file = std::fopen(path.c_str(), "wb");
    if (writer.file == nullptr) {
        error = Format("cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (writer.png != nullptr) writer.info = png_create_info_struct(writer.png);
    if (writer.info == nullptr || !Write(writer, picture, rows.data())) {
        error = Format("cannot write %s: libpng failed", path.c_str());
        return false;
    }
    if (std::fclose(writer.file) != 0) {
        writer.file = nullptr;
        error = Format("cannot write %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    writer.file = nullptr;
    return true;
}

bool ReadPng(const std::vector<std::uint8_t>& file, GreyPicture& picture, std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        error = Format("not a PNG file libpng can read (%s)", image.message);
        return false;
    }
    if (image.width == 0 || image.height == 0 || image.width > 65535 || image.height > 65535) {
        error = Format("a PNG of %u x %u pixels: each side must be 1 to 65535", image.width,
                       image.height);
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_GRAY;
    picture = WhiteGreyPicture(image.width, image.height);
    png_color white = {255, 255, 255};
    if (!png_image_finish_read(&image, &white, picture.values.data(), 0, nullptr)) {
        error = Format("truncated or bad PNG data (%s)", image.message);
        png_image_free(&image);
        return false;
    }
    return true;
}
