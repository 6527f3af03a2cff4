// Arbitrary spool files through the rebuild, and arbitrary streams through the
// walkers: no access outside the buffers, no endless walk, bounded output.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../rig/spool_file_builder.h"
#include "rebuild/rebuild.h"
#include "rebuild/walkers.h"

namespace {

// Past this the sink refuses writes, which the rebuild must take as a failed
// write; it bounds time and memory for jobs of many copies.
constexpr size_t OUTPUT_CAP = 1 << 20;

struct Sink {
    std::vector<u8> out;
    long outstanding = 0;

    static bool Write(void* context, const u8* data, u32 length) {
        Sink* s = static_cast<Sink*>(context);
        if (length == 0 || s->out.size() + length > OUTPUT_CAP) return false;
        s->out.insert(s->out.end(), data, data + length);
        return true;
    }
    static void* Allocate(void* context, u32 size) {
        if (size == 0) abort();
        ++static_cast<Sink*>(context)->outstanding;
        return calloc(1, size);
    }
    static void Release(void* context, void* block) {
        --static_cast<Sink*>(context)->outstanding;
        free(block);
    }
};

void RunRebuild(std::vector<u8> image) {
    Sink sink;
    RebuildIo io{&sink, Sink::Write, Sink::Allocate, Sink::Release};
    // An exact-sized heap copy, so a step past the image's end is caught.
    u8* copy = static_cast<u8*>(malloc(image.size() ? image.size() : 1));
    if (!image.empty()) memcpy(copy, image.data(), image.size());
    const bool ok = RebuildJobImage(copy, static_cast<u32>(image.size()), &io);
    free(copy);
    if (sink.outstanding != 0) abort();
    if (ok && (sink.out.empty() || sink.out.back() != 0x1A)) abort();
}

void RunWalkers(const u8* data, size_t size) {
    std::vector<u8> buffer(data, data + size);
    const u32 length = static_cast<u32>(size);
    if (FindPageEnd(buffer.data(), buffer.data() + size) > length) abort();
    const u32 controlBytes = MeasureCommands(buffer.data(), length).control;
    if (controlBytes > length) abort();
    if (controlBytes != 0) {
        std::vector<u8> dest(controlBytes, 0);
        ExtractControlCommands(buffer.data(), length, dest.data(), controlBytes, (size & 1) != 0);
    }
    PatchControlCommands(buffer.data(), length, (size & 2) != 0);
}

// Well-formed record chains from the input, so the orders and pieces are
// reached, with an optional broken size to probe the checks.
std::vector<u8> BuildSpoolFile(const u8* data, size_t size) {
    if (size < 10) return {};
    SpoolRecordFields record;
    record.paperId = static_cast<std::int16_t>(257 + data[0] % 40);  // mostly known ids
    record.copies = static_cast<std::int16_t>(static_cast<std::int8_t>(data[1]) % 6);
    record.collate = data[2] & 1;
    record.reverseOrder = data[2] & 2;
    record.mediaType = data[3] % 10;
    record.explicitWidth = data[4];
    record.mediaExtra = data[5];
    record.settingFlag = data[6] & 1;
    const u8 corrupt = data[7];
    size_t pos = 8;
    std::vector<SpoolRecordFields> records;
    while (pos < size) {
        const size_t length = data[pos++];
        const size_t take = length < size - pos ? length : size - pos;
        record.data.assign(data + pos, data + pos + take);
        records.push_back(record);
        pos += take;
    }
    std::vector<u8> image = SpoolFileBytes(records);
    if ((corrupt & 0xF0) == 0xF0 && image.size() >= 8) {
        const size_t at = (corrupt & 0x0F) % (image.size() - 7);
        image[at] ^= 0x5A;
    }
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const u8* rest = data + 1;
    const size_t restSize = size - 1;
    RunWalkers(rest, restSize);
    if (data[0] & 1) {
        RunRebuild(BuildSpoolFile(rest, restSize));
    } else {
        RunRebuild(std::vector<u8>(rest, rest + restSize));
    }
    return 0;
}
