// The inspector and the job maker over arbitrary bytes: a job listed and
// drawn as qxlinspect does it, a port capture drawn, a netpbm picture made
// into a job and drawn back dot for dot, PackBits encoded and decoded back.
// No access outside the buffers, no endless walk, bounded output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/netpbm.h"
#include "common/packbits.h"
#include "common/page_files.h"
#include "common/render.h"
#include "qxlinspect/monitor_view.h"
#include "qxlinspect/spool_listing.h"
#include "qxlinspect/stream_listing.h"
#include "qxlmkjob/job_writer.h"
#include "qxlmkjob/picture_ops.h"

namespace {

// Keeps a spool file of many copies from rebuilding into megabytes per input.
constexpr size_t REBUILD_LIMIT = 1 << 20;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "inspect_fuzz: %s\n", what);
        std::abort();
    }
}

void InspectJob(const Bytes& job) {
    FindProblem(job, REBUILD_LIMIT);
    Bytes sent;
    if (IsSpoolFile(job)) {
        SpoolListing(job, true, REBUILD_LIMIT);
        sent = PortBytesOf(job, nullptr, REBUILD_LIMIT);
    } else if (!job.empty()) {
        const MonitorScan scan = ScanAsMonitor(job);
        Require(scan.finished <= job.size(), "finished past the end");
        StreamListing(job, scan);
        StreamSummary(job, scan);
        sent = scan.portBytes;
    }
    DescribeRendering(RenderStream(sent.data(), sent.size()));
}

// A picture made into a job comes back from the drawing dot for dot.
void RoundTrip(const Bytes& file, bool compress) {
    GreyPicture grey;
    std::string error;
    if (!ReadNetpbm(file, grey, error) || grey.width > 2048 || grey.height > 2048) return;
    const Picture picture = Dithered(grey);
    const std::uint32_t width = RowBytes(picture.width) * 8;
    Picture padded = BlankPicture(width, picture.height);
    padded.bits = picture.bits;
    JobLayout layout;
    layout.compress = compress;
    const Bytes job = CommandStream({padded}, layout);
    Require(FindProblem(job).empty(), "a made job has a problem");
    const Bytes sent = ScanAsMonitor(job).portBytes;
    const Rendering drawn = RenderStream(sent.data(), sent.size());
    Require(drawn.pages.size() == 1 && drawn.pages[0].rasterLines == picture.height, "page lost");
    const Picture& back = drawn.pages[0].picture;
    const std::uint32_t rowBytes = RowBytes(width);
    for (std::uint32_t y = 0; y < picture.height; ++y)
        for (std::uint32_t i = 0; i < rowBytes; ++i)
            Require(PictureRow(back, y)[i] == PictureRow(padded, y)[i], "dots differ");
}

void PackBitsBack(const Bytes& data) {
    const Bytes packed = PackBits(data.data(), data.size());
    Bytes unpacked;
    Require(UnpackBits(packed.data(), packed.size(), unpacked, data.size()), "unpack failed");
    Require(unpacked == data, "PackBits does not come back");
    Bytes any;
    UnpackBits(data.data(), data.size(), any, 4096);
    Require(any.size() <= 4096, "unpacked past its limit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const Bytes rest(data + 1, data + size);
    switch (data[0] % 4) {
        case 0: InspectJob(rest); break;
        case 1: DescribeRendering(RenderStream(rest.data(), rest.size())); break;
        case 2: RoundTrip(rest, data[0] & 4); break;
        case 3: PackBitsBack(rest); break;
    }
    return 0;
}
