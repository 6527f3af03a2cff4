// Netpbm reader and writer.
#include "common/netpbm.h"

#include "common/text.h"

namespace {

struct Reader {
    const std::vector<std::uint8_t>& file;
    size_t at = 0;

    bool more() const { return at < file.size(); }
    static bool IsSpace(std::uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }

    // Skips white space and '#' comments, which run to the end of the line.
    void skipSpace() {
        while (more()) {
            if (file[at] == '#') {
                while (more() && file[at] != '\n' && file[at] != '\r') ++at;
            } else if (IsSpace(file[at])) {
                ++at;
            } else {
                return;
            }
        }
    }

    bool number(std::uint32_t& value, std::uint32_t max) {
        skipSpace();
        if (!more() || file[at] < '0' || file[at] > '9') return false;
        std::uint64_t n = 0;
        while (more() && file[at] >= '0' && file[at] <= '9') {
            n = n * 10 + (file[at++] - '0');
            if (n > max) return false;
        }
        value = static_cast<std::uint32_t>(n);
        return true;
    }
};

bool ReadPlainBits(Reader& in, GreyPicture& picture) {
    for (std::uint8_t& value : picture.values) {
        in.skipSpace();
        if (!in.more() || (in.file[in.at] != '0' && in.file[in.at] != '1')) return false;
        value = in.file[in.at++] == '1' ? 0 : 255;
    }
    return true;
}

// Bits past the width in each row's last byte are padding, not dots.
bool ReadRawBits(Reader& in, GreyPicture& picture) {
    const size_t rowBytes = RowBytes(picture.width);
    if (in.file.size() - in.at < rowBytes * picture.height) return false;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = in.file.data() + in.at + rowBytes * y;
        for (std::uint32_t x = 0; x < picture.width; ++x)
            picture.values[static_cast<size_t>(y) * picture.width + x] =
                (row[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
    }
    return true;
}

bool ReadGray(Reader& in, GreyPicture& picture, std::uint32_t maxValue, bool raw) {
    const size_t sampleBytes = maxValue > 255 ? 2 : 1;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        for (std::uint32_t x = 0; x < picture.width; ++x) {
            std::uint32_t value = 0;
            if (raw) {
                if (in.file.size() - in.at < sampleBytes) return false;
                value = in.file[in.at++];
                if (sampleBytes == 2) value = (value << 8) | in.file[in.at++];
            } else if (!in.number(value, 65535)) {
                return false;
            }
            if (value > maxValue) value = maxValue;
            picture.values[static_cast<size_t>(y) * picture.width + x] =
                static_cast<std::uint8_t>((value * 255 + maxValue / 2) / maxValue);
        }
    }
    return true;
}

}  // namespace

bool ReadNetpbm(const std::vector<std::uint8_t>& file, GreyPicture& picture, std::string& error) {
    Reader in{file};
    if (file.size() < 2 || file[0] != 'P' || file[1] < '1' || file[1] > '5' || file[1] == '3') {
        error = "not a PBM or PGM file (it does not start with P1, P2, P4 or P5)";
        return false;
    }
    const char kind = static_cast<char>(file[1]);
    in.at = 2;
    std::uint32_t width = 0, height = 0, maxValue = 1;
    if (!in.number(width, NETPBM_MAX_SIDE) || !in.number(height, NETPBM_MAX_SIDE) || width == 0 ||
        height == 0) {
        error = Format("bad P%c header: width and height must be 1 to %u", kind, NETPBM_MAX_SIDE);
        return false;
    }
    const bool gray = kind == '2' || kind == '5';
    if (gray && (!in.number(maxValue, 65535) || maxValue == 0)) {
        error = "bad PGM header: the maximum value must be 1 to 65535";
        return false;
    }
    const bool raw = kind == '4' || kind == '5';
    // One white-space byte ends the header of a raw file.
    if (raw) {
        if (!in.more() || !Reader::IsSpace(file[in.at])) {
            error = "bad header: no white space before the picture data";
            return false;
        }
        ++in.at;
    }
    // Every dot takes at least one byte of a plain file, and a raw file holds
    // them all: a short file is refused before the picture is made.
    const std::uint64_t dots = static_cast<std::uint64_t>(width) * height;
    const std::uint64_t least = kind == '4'   ? static_cast<std::uint64_t>(RowBytes(width)) * height
                                : kind == '5' ? dots * (maxValue > 255 ? 2 : 1)
                                              : dots;
    if (file.size() - in.at < least) {
        error = Format("truncated picture data (%u x %u dots expected)", width, height);
        return false;
    }
    picture = WhiteGreyPicture(width, height);
    bool read = gray  ? ReadGray(in, picture, maxValue, raw)
                : raw ? ReadRawBits(in, picture)
                      : ReadPlainBits(in, picture);
    if (!read) {
        error = Format("truncated or bad picture data (%u x %u dots expected)", width, height);
        return false;
    }
    return true;
}

std::vector<std::uint8_t> PbmBytes(const Picture& picture) {
    std::string header = Format("P4\n%u %u\n", picture.width, picture.height);
    std::vector<std::uint8_t> out(header.begin(), header.end());
    out.insert(out.end(), picture.bits.begin(), picture.bits.end());
    return out;
}
