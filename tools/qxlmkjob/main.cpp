// qxlmkjob: writes a job file for the label printers from text, test patterns
// or netpbm images: a command stream, or a ':' multi-copy spool file.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/args.h"
#include "common/file_io.h"
#include "common/media.h"
#include "common/text.h"
#include "common/utf8.h"
#include "qxlmkjob/job_writer.h"
#include "qxlmkjob/label_pages.h"
#include "qxlmkjob/text_label.h"
#include "qxlmkjob/typeface.h"

namespace {

constexpr char PROGRAM[] = "qxlmkjob";
constexpr int EXIT_INPUT = 1;
constexpr int EXIT_USAGE = 2;

constexpr char HELP[] =
    "qxlmkjob: writes a job file for the label printers, as their driver would: a\n"
    "command stream, or with --copies a ':' multi-copy spool file.\n"
    "\n"
    "usage: qxlmkjob [options] PAGE... -o FILE      (FILE - is standard output)\n"
    "pages, in order, at least one:\n"
    "  --text TEXT        a label of UTF-8 text; \\n (or a new line) starts a new line,\n"
    "                     \\t (or a tab) goes on to the next tab stop\n"
    "  --image FILE       a label from a PNG (native build), PBM or PGM picture\n"
    "  --pattern LINES    a test pattern of LINES raster lines with the page number\n"
    "text:\n"
    "  --font FILE        a TrueType font (default DejaVu Sans, fonts-dejavu-core);\n"
    "                     --font builtin: the built-in dot font, the only one of\n"
    "                     the Windows build\n"
    "  --size N[pt]       N dots, or N points at 300 dots an inch (default: the\n"
    "                     largest from 24 pt down that fits each line unwrapped)\n"
    "  --no-wrap          refuse a line too long for the label instead of wrapping it\n"
    "  --align A          left (default), centre or right\n"
    "pictures (grey and colour are dithered into dots):\n"
    "  --threshold P      black where a pixel is at least P % dark, instead of dithering\n"
    "  --fit              scale every picture to the label's width (default: only\n"
    "                     one wider than the label is made smaller)\n"
    "  --no-fit           one dot a pixel; refuse a picture wider than the label\n"
    "  --centre           centre pictures across the label\n"
    "  --rotate D         turn pictures clockwise by 90, 180 or 270 degrees\n"
    "raster lines:\n"
    "  --line-bytes N     bytes a raster line (default 90: the print head's 720 dots)\n"
    "  --compress         compressed lines (M 2, PackBits); default plain (M 0)\n"
    "media and job information blocks:\n"
    "  --media-width MM   default 62; the label is as wide as the medium prints\n"
    "                     (300 dots an inch, at most 720 dots)\n"
    "  --media-type T     default 0x0a\n"
    "  --media-extra E    default 0\n"
    "  --check-flags F    default 0x0004 (media width)\n"
    "  --caption TEXT     default \"Label\"\n"
    "a ':' multi-copy spool file instead of a command stream:\n"
    "  --copies N         N copies (1-32767); the medium must be in the spool file's\n"
    "                     tape table: 6, 9, 12, 18, 24 or 36 mm, or any width with\n"
    "                     --media-type 8\n"
    "  --collate          collated copies (default: the copies of a page together)\n"
    "  --reverse          pages in reverse order\n"
    "  -h, --help         this help;  --version  the version\n"
    "An option's value comes as --option VALUE or --option=VALUE.\n"
    "\n"
    "examples:\n"
    "  qxlmkjob --caption Hello --text 'Hello\\nWorld' --pattern 120 -o hello.job\n"
    "  qxlmkjob --size 12pt --align centre --text 'Caf\xc3\xa9 M\xc3\xbcller\\n5 \xe2\x82\xac' -o "
    "cafe.job\n"
    "  qxlmkjob --media-width 36 --rotate 90 --fit --image photo.png -o photo.job\n"
    "  qxlmkjob --copies 3 --media-width 36 --text 'Box 7' -o copies.job\n"
    "\n"
    "exit status: 0 written, 1 an input or output file failed (or a page does not\n"
    "fit its medium, or its text has a character the font lacks), 2 bad options\n";

enum OptionId {
    OPT_TEXT,
    OPT_IMAGE,
    OPT_PATTERN,
    OPT_OUTPUT,
    OPT_LINE_BYTES,
    OPT_COMPRESS,
    OPT_MEDIA_WIDTH,
    OPT_MEDIA_TYPE,
    OPT_MEDIA_EXTRA,
    OPT_CHECK_FLAGS,
    OPT_CAPTION,
    OPT_COPIES,
    OPT_COLLATE,
    OPT_REVERSE,
    OPT_FONT,
    OPT_SIZE,
    OPT_NO_WRAP,
    OPT_ALIGN,
    OPT_THRESHOLD,
    OPT_FIT,
    OPT_NO_FIT,
    OPT_CENTRE,
    OPT_ROTATE,
};

const std::vector<OptionRow> OPTIONS = {
    {"text", 0, true, OPT_TEXT},
    {"image", 0, true, OPT_IMAGE},
    {"pattern", 0, true, OPT_PATTERN},
    {"output", 'o', true, OPT_OUTPUT},
    {"line-bytes", 0, true, OPT_LINE_BYTES},
    {"compress", 0, false, OPT_COMPRESS},
    {"media-width", 0, true, OPT_MEDIA_WIDTH},
    {"media-type", 0, true, OPT_MEDIA_TYPE},
    {"media-extra", 0, true, OPT_MEDIA_EXTRA},
    {"check-flags", 0, true, OPT_CHECK_FLAGS},
    {"caption", 0, true, OPT_CAPTION},
    {"copies", 0, true, OPT_COPIES},
    {"collate", 0, false, OPT_COLLATE},
    {"reverse", 0, false, OPT_REVERSE},
    {"font", 0, true, OPT_FONT},
    {"size", 0, true, OPT_SIZE},
    {"no-wrap", 0, false, OPT_NO_WRAP},
    {"align", 0, true, OPT_ALIGN},
    {"threshold", 0, true, OPT_THRESHOLD},
    {"fit", 0, false, OPT_FIT},
    {"no-fit", 0, false, OPT_NO_FIT},
    {"centre", 0, false, OPT_CENTRE},
    {"rotate", 0, true, OPT_ROTATE},
};

struct PageSource {
    enum Kind { Text, Image, Pattern } kind;
    std::string text;  // the text or the file
    long lines = 0;
};

struct MakeOptions {
    std::vector<PageSource> pages;
    std::string output;
    long lineBytes = 90;
    JobLayout layout;
    TextStyle text;
    PictureStyle picture;
    bool fitGiven = false, noFitGiven = false;
};

// "48" dots or "12pt" points at 300 dots an inch.
bool ParseSize(const std::string& value, std::uint32_t& dots, std::string& error) {
    long number = 0;
    const bool points = value.size() > 2 && value.compare(value.size() - 2, 2, "pt") == 0;
    if (points && ParseNumber(value.substr(0, value.size() - 2), 2, 144, number)) {
        dots = static_cast<std::uint32_t>((number * DOTS_PER_INCH + 36) / 72);
        return true;
    }
    if (!points && ParseNumber(value, 8, 600, number)) {
        dots = static_cast<std::uint32_t>(number);
        return true;
    }
    error = "--size: '" + value + "' is not 8 to 600 dots or 2pt to 144pt";
    return false;
}

bool Take(MakeOptions& options, int id, const std::string& value, std::string& error) {
    long number = 0;
    JobLayout& layout = options.layout;
    switch (id) {
        // Windows hands arguments over in the ANSI code page; text is UTF-8.
        case OPT_TEXT:
            options.pages.push_back({PageSource::Text, AnsiToUtf8(value), 0});
            return true;
        case OPT_IMAGE: options.pages.push_back({PageSource::Image, value, 0}); return true;
        case OPT_PATTERN:
            if (!OptionNumber("--pattern", value, 1, 100000, number, error)) return false;
            options.pages.push_back({PageSource::Pattern, "", number});
            return true;
        case OPT_OUTPUT: options.output = value; return true;
        case OPT_LINE_BYTES:
            return OptionNumber("--line-bytes", value, 1, 8192, options.lineBytes, error);
        case OPT_COMPRESS: layout.compress = true; return true;
        case OPT_MEDIA_WIDTH:
            if (!OptionNumber("--media-width", value, 1, 255, number, error)) return false;
            layout.mediaWidth = static_cast<std::uint8_t>(number);
            return true;
        case OPT_MEDIA_TYPE:
        case OPT_MEDIA_EXTRA:
            if (!OptionNumber(id == OPT_MEDIA_TYPE ? "--media-type" : "--media-extra", value, 0,
                              255, number, error))
                return false;
            (id == OPT_MEDIA_TYPE ? layout.mediaType : layout.mediaExtra) =
                static_cast<std::uint8_t>(number);
            return true;
        case OPT_CHECK_FLAGS:
            if (!OptionNumber("--check-flags", value, 0, 0xFFFF, number, error)) return false;
            layout.checkFlags = static_cast<std::uint16_t>(number);
            return true;
        case OPT_CAPTION: layout.caption = value; return true;
        case OPT_COPIES:
            if (!OptionNumber("--copies", value, 1, 32767, number, error)) return false;
            layout.copies = static_cast<std::int16_t>(number);
            return true;
        case OPT_COLLATE: layout.collate = true; return true;
        case OPT_REVERSE: layout.reverse = true; return true;
        case OPT_FONT: options.text.font = value; return true;
        case OPT_SIZE: return ParseSize(value, options.text.size, error);
        case OPT_NO_WRAP: options.text.wrap = false; return true;
        case OPT_ALIGN:
            if (value == "left" || value == "centre" || value == "center" || value == "right") {
                options.text.align = value == "left"    ? Align::Left
                                     : value == "right" ? Align::Right
                                                        : Align::Centre;
                return true;
            }
            error = "--align: '" + value + "' is not left, centre or right";
            return false;
        case OPT_THRESHOLD:
            if (!OptionNumber("--threshold", value, 1, 100, number, error)) return false;
            options.picture.threshold = static_cast<std::uint32_t>(number);
            return true;
        case OPT_FIT:
            options.fitGiven = true;
            options.picture.fit = Fit::Fill;
            return true;
        case OPT_NO_FIT:
            options.noFitGiven = true;
            options.picture.fit = Fit::Never;
            return true;
        case OPT_CENTRE: options.picture.centre = true; return true;
        case OPT_ROTATE:
            if (value == "0" || value == "90" || value == "180" || value == "270") {
                options.picture.rotate = static_cast<std::uint32_t>(std::stoul(value));
                return true;
            }
            error = "--rotate: '" + value + "' is not 90, 180 or 270";
            return false;
        default: return false;
    }
}

// Options that would be ignored or would destroy an input are refused.
std::string Conflict(MakeOptions& options, const std::vector<std::string>& operands) {
    if (!operands.empty()) return "unexpected argument " + operands.front();
    if (options.output.empty()) return "no output file: -o FILE is needed";
    if (options.pages.empty()) return "no page: give --text, --image or --pattern";
    if (options.pages.size() > 20000) return "more than 20000 pages";
    if (options.layout.copies == 0 && (options.layout.collate || options.layout.reverse))
        return std::string(options.layout.collate ? "--collate" : "--reverse") +
               " orders the copies of a spool file: it needs --copies";
    if (options.fitGiven && options.noFitGiven) return "--fit and --no-fit ask for opposites";
    for (const PageSource& page : options.pages)
        if (page.kind == PageSource::Image && options.output != "-" &&
            SamePath(page.text, options.output))
            return "-o " + options.output + " is the input picture " + page.text;
    if (!options.text.font.empty() && options.text.font != BUILTIN_FONT && options.output != "-" &&
        SamePath(options.text.font, options.output))
        return "-o " + options.output + " is the font file";
    return "";
}

bool MakePictures(const MakeOptions& options, std::vector<Picture>& pictures, std::string& error) {
    const std::uint32_t lineDots = static_cast<std::uint32_t>(options.lineBytes) * 8;
    const LabelSpace space{lineDots, std::min(lineDots, PrintableDots(options.layout.mediaWidth)),
                           options.layout.mediaWidth};
    for (const PageSource& page : options.pages) {
        Picture picture;
        if (page.kind == PageSource::Pattern) {
            picture = PatternPicture(space, static_cast<std::uint32_t>(page.lines),
                                     static_cast<std::uint32_t>(pictures.size() + 1));
        } else if (page.kind == PageSource::Text) {
            if (!TextPicture(page.text, space, options.text, picture, error)) return false;
        } else if (!ImagePicture(page.text, space, options.picture, picture, error)) {
            return false;
        }
        pictures.push_back(std::move(picture));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    MakeOptions options;
    int status = 0;
    if (!ReadToolOptions(argc, argv, {PROGRAM, HELP}, OPTIONS, options, Take, Conflict, EXIT_USAGE,
                         status))
        return status;
    std::string error;

    const bool spool = options.layout.copies > 0;
    std::int16_t paperId = 0;
    if (spool && !PaperIdFor(options.layout, paperId))
        return Fail(PROGRAM, EXIT_USAGE,
                    Format("--copies: a spool file has no tape of %u mm for media type 0x%02x "
                           "(6, 9, 12, 18, 24 or 36 mm; any width with --media-type 8)",
                           options.layout.mediaWidth, options.layout.mediaType));

    std::vector<Picture> pictures;
    if (!MakePictures(options, pictures, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    std::vector<std::uint8_t> job = spool ? SpoolFile(pictures, options.layout, paperId)
                                          : CommandStream(pictures, options.layout);
    if (!WriteWholeFile(options.output, job, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    return 0;
}
