// RebuildMultiCopyJob: the spool file into memory, the rebuilt job out to a
// file through a staging buffer, memory from the global heap.
#include "rebuild/rebuild_file.h"

#include <cstring>

#include "core/process_state.h"
#include "rebuild/rebuild.h"

namespace {

// The rebuild hands over many small pieces (blocks, one-byte form feeds) and
// pages of tens of KB; each WriteFile costs much besides its bytes, so the
// rebuilt job goes out in few large writes. A fixed amount, whatever the job.
constexpr u32 STAGING_SIZE = 1024 * 1024;

UniqueBlock<u8> AllocateBytes(SIZE_T size) {
    return UniqueBlock<u8>(static_cast<u8*>(AllocZeroed(size)));
}

bool ReadWhole(HANDLE file, u8* buffer, u32 size) {
    u32 got = 0;
    while (got < size) {
        DWORD read = 0;
        // A short read with no bytes means the file is shorter than it said.
        if (!ReadFile(file, buffer + got, size - got, &read, nullptr) || read == 0) return false;
        got += read;
    }
    return true;
}

bool WriteWhole(HANDLE file, const u8* data, u32 length) {
    u32 done = 0;
    while (done < length) {
        DWORD written = 0;
        if (!WriteFile(file, data + done, length - done, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

struct FileOutput {
    HANDLE file;
    u8* staging;
    u32 used;
};

bool Flush(FileOutput* out) {
    const bool ok = WriteWhole(out->file, out->staging, out->used);
    out->used = 0;
    return ok;
}

bool WriteStaged(void* context, const u8* data, u32 length) {
    FileOutput* out = static_cast<FileOutput*>(context);
    if (length > STAGING_SIZE - out->used && !Flush(out)) return false;
    if (length >= STAGING_SIZE) return WriteWhole(out->file, data, length);
    memcpy(out->staging + out->used, data, length);
    out->used += length;
    return true;
}

void* AllocateGlobal(void*, u32 size) { return AllocZeroed(size); }
void ReleaseGlobal(void*, void* block) { FreeBlock(block); }

}  // namespace

bool RebuildMultiCopyJob(HANDLE spoolFile, HANDLE destination) {
    DWORD high = 0;
    const DWORD size = GetFileSize(spoolFile, &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    // The image is held whole in memory and indexed with 32-bit offsets.
    if (high != 0 || size == 0) return false;

    UniqueBlock<u8> image = AllocateBytes(size);
    if (!image) return false;
    if (!ReadWhole(spoolFile, image.get(), size)) return false;

    UniqueBlock<u8> staging = AllocateBytes(STAGING_SIZE);
    if (!staging) return false;
    FileOutput out{destination, staging.get(), 0};
    const RebuildIo io{&out, WriteStaged, AllocateGlobal, ReleaseGlobal};
    if (!RebuildJobImage(image.get(), size, &io)) return false;
    return Flush(&out);
}
