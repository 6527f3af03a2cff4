// qxlmkjob: writes a job file for the label printers from text, test patterns
// or netpbm images: a command stream, or a ':' multi-copy spool file.
#include <cstdio>
#include <string>
#include <vector>

#include "common/args.h"
#include "common/file_io.h"
#include "common/text.h"
#include "qxlmkjob/job_writer.h"
#include "qxlmkjob/label_pages.h"

namespace {

constexpr char PROGRAM[] = "qxlmkjob";
constexpr int EXIT_INPUT = 1;
constexpr int EXIT_USAGE = 2;

constexpr char USAGE[] =
    "usage: qxlmkjob [options] -o FILE      (FILE - is standard output)\n"
    "pages, in order, at least one:\n"
    "  --text TEXT        a label with TEXT in the built-in font; \\n starts a new line\n"
    "  --image FILE       a label from a PBM or PGM picture, one dot a pixel\n"
    "  --pattern LINES    a test pattern of LINES raster lines with the page number\n"
    "raster lines:\n"
    "  --line-bytes N     bytes a raster line (default 90: 720 dots)\n"
    "  --scale N          text size 1-8 (default: the largest that fits)\n"
    "  --compress         compressed lines (M 2, PackBits); default plain (M 0)\n"
    "job information blocks:\n"
    "  --media-width MM   default 62, or 36 for a spool file\n"
    "  --media-type T     default 0x0a\n"
    "  --media-extra E    default 0\n"
    "  --check-flags F    default 0x0004 (media width)\n"
    "  --caption TEXT     default \"Label\"\n"
    "a ':' multi-copy spool file instead of a command stream:\n"
    "  --copies N         N copies (1-32767)\n"
    "  --collate          collated copies (default: the copies of a page together)\n"
    "  --reverse          pages in reverse order\n";

struct PageSource {
    enum Kind { Text, Image, Pattern } kind;
    std::string text;  // the text or the file
    long lines = 0;
};

struct MakeOptions {
    std::vector<PageSource> pages;
    std::string output;
    long lineBytes = 90;
    long scale = 0;
    bool mediaWidthGiven = false;
    JobLayout layout;
};

bool Parse(Args& args, MakeOptions& options) {
    long number = 0;
    while (!args.done()) {
        const std::string option = args.next();
        PageSource page{PageSource::Text, "", 0};
        if (option == "--text" || option == "--image") {
            page.kind = option == "--text" ? PageSource::Text : PageSource::Image;
            if (!args.value(option, page.text)) return false;
            options.pages.push_back(page);
        } else if (option == "--pattern") {
            page.kind = PageSource::Pattern;
            if (!args.number(option, 1, 100000, page.lines)) return false;
            options.pages.push_back(page);
        } else if (option == "-o") {
            if (!args.value(option, options.output)) return false;
        } else if (option == "--line-bytes") {
            if (!args.number(option, 1, 8192, options.lineBytes)) return false;
        } else if (option == "--scale") {
            if (!args.number(option, 1, MAX_TEXT_SCALE, options.scale)) return false;
        } else if (option == "--compress") {
            options.layout.compress = true;
        } else if (option == "--media-width") {
            if (!args.number(option, 1, 255, number)) return false;
            options.layout.mediaWidth = static_cast<std::uint8_t>(number);
            options.mediaWidthGiven = true;
        } else if (option == "--media-type" || option == "--media-extra") {
            if (!args.number(option, 0, 255, number)) return false;
            (option == "--media-type" ? options.layout.mediaType : options.layout.mediaExtra) =
                static_cast<std::uint8_t>(number);
        } else if (option == "--check-flags") {
            if (!args.number(option, 0, 0xFFFF, number)) return false;
            options.layout.checkFlags = static_cast<std::uint16_t>(number);
        } else if (option == "--caption") {
            if (!args.value(option, options.layout.caption)) return false;
        } else if (option == "--copies") {
            if (!args.number(option, 1, 32767, number)) return false;
            options.layout.copies = static_cast<std::int16_t>(number);
        } else if (option == "--collate") {
            options.layout.collate = true;
        } else if (option == "--reverse") {
            options.layout.reverse = true;
        } else {
            args.error = "unknown option " + option;
            return false;
        }
    }
    if (options.output.empty())
        args.error = "no output file: -o FILE is needed";
    else if (options.pages.empty())
        args.error = "no page: give --text, --image or --pattern";
    else if (options.pages.size() > 20000)
        args.error = "more than 20000 pages";
    return args.error.empty();
}

bool MakePictures(const MakeOptions& options, std::vector<Picture>& pictures, std::string& error) {
    const std::uint32_t width = static_cast<std::uint32_t>(options.lineBytes) * 8;
    for (const PageSource& page : options.pages) {
        Picture picture;
        if (page.kind == PageSource::Pattern) {
            picture = PatternPicture(width, static_cast<std::uint32_t>(page.lines),
                                     static_cast<std::uint32_t>(pictures.size() + 1));
        } else if (page.kind == PageSource::Text) {
            if (!TextPicture(page.text, width, static_cast<std::uint32_t>(options.scale), picture,
                             error))
                return false;
        } else if (!ImagePicture(page.text, width, picture, error)) {
            return false;
        }
        pictures.push_back(std::move(picture));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (WantsHelp(argc, argv)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    Args args(argc, argv);
    MakeOptions options;
    if (!Parse(args, options))
        return Fail(PROGRAM, EXIT_USAGE, args.error + " (--help lists the options)");

    const bool spool = options.layout.copies > 0;
    if (spool && !options.mediaWidthGiven) options.layout.mediaWidth = 36;
    std::int16_t paperId = 0;
    if (spool && !PaperIdFor(options.layout, paperId))
        return Fail(PROGRAM, EXIT_USAGE,
                    Format("no tape of %u mm for media type 0x%02x in the tape table "
                           "(6, 9, 12, 18, 24 or 36 mm; any width with media type 8)",
                           options.layout.mediaWidth, options.layout.mediaType));

    std::vector<Picture> pictures;
    std::string error;
    if (!MakePictures(options, pictures, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    std::vector<std::uint8_t> job = spool ? SpoolFile(pictures, options.layout, paperId)
                                          : CommandStream(pictures, options.layout);
    if (!WriteWholeFile(options.output, job, error)) return Fail(PROGRAM, EXIT_INPUT, error);
    return 0;
}
