// Test helper: reads a PNG with libpng and writes its dots as a raw PBM, so
// that a drawn label can be compared with the picture it was made from.
//   png_to_pbm IN.png OUT.pbm
#include <png.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: png_to_pbm IN.png OUT.pbm\n");
        return 2;
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1])) {
        std::fprintf(stderr, "png_to_pbm: %s: %s\n", argv[1], image.message);
        return 1;
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) {
        std::fprintf(stderr, "png_to_pbm: %s: %s\n", argv[1], image.message);
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    std::fprintf(out, "P4\n%u %u\n", image.width, image.height);
    const png_uint_32 rowBytes = (image.width + 7) / 8;
    for (png_uint_32 y = 0; y < image.height; ++y) {
        std::vector<unsigned char> row(rowBytes, 0);
        for (png_uint_32 x = 0; x < image.width; ++x)
            if (grey[y * image.width + x] < 128)
                row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
        std::fwrite(row.data(), 1, row.size(), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
