// Command streams for tests and the demo.
#include "rig/job_builder.h"

#include <cstring>

namespace {

void Append(std::vector<u8>& out, std::initializer_list<u8> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void Append(std::vector<u8>& out, const std::vector<u8>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// The page's own commands and raster lines, up to and including its end byte.
std::vector<u8> PageBody(const PageLayout& page, bool last) {
    std::vector<u8> body;
    Append(body, {0x1B, 0x69, 0x61, 0x01});  // ESC i a: raster mode
    Append(body, {0x1B, 0x69, 0x7A, 0x86, 0x0A, page.mediaWidth, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                  0x00});  // media information, passed through
    if (page.withCutParam) Append(body, {0x1B, 0x69, 0x4B, 0x08});  // ESC i K
    Append(body, {0x4D, 0x00});                                     // M 0: no compression
    for (u16 line = 0; line < page.rasterLines; ++line) {
        Append(body, {0x47, static_cast<u8>(page.lineBytes & 0xFF),
                      static_cast<u8>(page.lineBytes >> 8)});
        for (u16 i = 0; i < page.lineBytes; ++i)
            body.push_back(static_cast<u8>((line * 7 + i + page.pageNumber) | 0x80));
        if (line % 5 == 4) body.push_back(0x5A);  // a zero raster line now and then
    }
    body.push_back(last ? 0x1A : 0x0C);
    return body;
}

}  // namespace

std::vector<u8> JobInfoBytes(const PageLayout& page, u16 pageTotal, u32 pageBytes) {
    std::vector<u8> block(92, 0);
    block[0] = 0x1B;
    block[1] = 0x69;
    block[2] = 0x49;
    block[3] = 0x58;
    block[7] = page.mediaType;
    block[8] = page.mediaWidth;
    block[9] = page.mediaExtra;
    block[11] = page.partCount;
    std::memcpy(&block[12], &page.checkFlags, 2);
    std::memcpy(&block[14], &page.partIndex, 2);
    std::memcpy(&block[16], &page.pageNumber, 2);
    std::memcpy(&block[18], &pageTotal, 2);
    std::memcpy(&block[20], &pageTotal, 2);
    std::memcpy(&block[24], &pageBytes, 4);
    std::memcpy(&block[28], page.caption.c_str(), std::min<size_t>(page.caption.size(), 63));
    return block;
}

BuiltJob BuildJob(const std::vector<PageLayout>& pages) {
    BuiltJob job;
    const std::vector<u8> prologue = {0x1B, 0x40, 0x1B, 0x69, 0x63, 0x05, 0x00, 0x00, 0x00, 0x00};
    std::vector<u8> prologueAtPort = prologue;
    prologueAtPort[5] = 0x00;  // ESC i c: its first parameter is zeroed
    for (size_t i = 0; i < pages.size(); ++i) {
        bool last = i + 1 == pages.size();
        std::vector<u8> body = PageBody(pages[i], last);
        std::vector<u8> atPort;
        if (i == 0) Append(atPort, prologueAtPort);
        Append(atPort, body);
        Append(job.stream, JobInfoBytes(pages[i], static_cast<u16>(pages.size()),
                                        static_cast<u32>(atPort.size())));
        if (i == 0) Append(job.stream, prologue);
        Append(job.stream, body);
        job.pageStreamEnds.push_back(job.stream.size());
        Append(job.portBytes, atPort);
        job.pages.push_back(atPort);
    }
    return job;
}

BuiltJob BuildSimpleJob(int pageCount, u16 rasterLines, u16 lineBytes) {
    std::vector<PageLayout> pages;
    for (int i = 1; i <= pageCount; ++i) {
        PageLayout page;
        page.pageNumber = static_cast<u16>(i);
        page.partIndex = 1;
        page.rasterLines = rasterLines;
        page.lineBytes = lineBytes;
        pages.push_back(page);
    }
    return BuildJob(pages);
}
