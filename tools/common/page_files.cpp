// Picture files of the drawn pages.
#include "common/page_files.h"

#include "common/file_io.h"
#include "common/netpbm.h"
#include "common/text.h"

#if defined(QXL_WITH_PNG)
#include "common/png_file.h"
#endif

bool CanWrite(PictureFormat format) {
#if defined(QXL_WITH_PNG)
    return true;
#else
    return format == PictureFormat::Pbm;
#endif
}

namespace {

// "page-12.png": a name this program gives the pictures it draws.
bool IsPageFileName(const std::string& name, const char* extension) {
    const std::string prefix = "page-", suffix = std::string(".") + extension;
    if (name.size() <= prefix.size() + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string number =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    return number.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

bool WritePageFiles(const std::string& dir, const Rendering& rendering, PictureFormat format,
                    std::string& report, std::string& error) {
    if (!MakeDirectory(dir, error)) return false;
    // The pictures of an earlier job drawn here go, so that every page file
    // in the folder belongs to this one; other files stay.
    const char* extension = format == PictureFormat::Png ? "png" : "pbm";
    for (const std::string& name : FileNames(dir))
        if (IsPageFileName(name, extension) && !RemoveFile(dir + "/" + name, error)) return false;
    for (size_t i = 0; i < rendering.pages.size(); ++i) {
        const Picture& picture = rendering.pages[i].picture;
        if (picture.height == 0) continue;  // too large, or nothing printed yet
        const bool png = format == PictureFormat::Png;
        std::string path = Format("%s/page-%zu.%s", dir.c_str(), i + 1, extension);
        bool written = false;
#if defined(QXL_WITH_PNG)
        if (png) written = WritePng(path, picture, error);
#endif
        if (!png) written = WriteWholeFile(path, PbmBytes(picture), error);
        if (!written) {
            if (error.empty())
                error = Format("cannot write %s: no PNG support in this build", path.c_str());
            return false;
        }
        Appendf(report, "  %s: %u x %u dots\n", path.c_str(), picture.width, picture.height);
    }
    return true;
}

std::string DescribeRendering(const Rendering& rendering) {
    std::string text;
    Appendf(text, "the printer prints %zu label%s", rendering.pages.size(),
            rendering.pages.size() == 1 ? "" : "s");
    if (rendering.resets != 0)
        Appendf(text, ", is initialised %u time%s", rendering.resets,
                rendering.resets == 1 ? "" : "s");
    if (rendering.statusRequests != 0)
        Appendf(text, ", answers %u status request%s", rendering.statusRequests,
                rendering.statusRequests == 1 ? "" : "s");
    text += ":\n";
    for (size_t i = 0; i < rendering.pages.size(); ++i) {
        const RenderedPage& page = rendering.pages[i];
        if (page.reprint)
            Appendf(text,
                    "  label %zu: no raster lines of its own; the label before printed again\n",
                    i + 1);
        else
            Appendf(text, "  label %zu: %u raster lines, %u dots wide, ends at offset %zu\n", i + 1,
                    page.rasterLines, page.picture.width, page.endOffset);
    }
    for (const std::string& note : rendering.notes) Appendf(text, "  note: %s\n", note.c_str());
    return text;
}
