// Multi-copy jobs end to end: stored at the writes, rebuilt and printed at the job end.
#include <gtest/gtest.h>

#include <algorithm>

#include "monitor/job_end.h"
#include "rebuild/rebuild.h"
#include "rig/job_run.h"
#include "rig/resources.h"
#include "rig/spool_file_builder.h"
#include "core/statmon_interface.h"
#include "rig/linked_monitor.h"

namespace {

std::vector<u8> PageData(u8 seed) {
    std::vector<u8> data = {0x1B, 0x69, 0x61, 0x01, 0x1B, 0x69, 0x4B, 0x08, 0x4D, 0x00};
    for (int line = 0; line < 5; ++line) {
        data.insert(data.end(), {0x47, 16, 0});
        for (int i = 0; i < 16; ++i) data.push_back(static_cast<u8>(0x80 | (seed + line + i)));
    }
    data.push_back(0x0C);
    return data;
}

// The rebuilt stream as the core makes it (the rebuild's own tests pin its bytes).
std::vector<u8> Rebuilt(std::vector<u8> image) {
    struct Sink {
        static bool Write(void* c, const u8* d, u32 n) {
            auto* out = static_cast<std::vector<u8>*>(c);
            out->insert(out->end(), d, d + n);
            return TRUE;
        }
        static void* Allocate(void*, u32 size) { return calloc(size, 1); }
        static void Release(void*, void* block) { free(block); }
    };
    std::vector<u8> out;
    RebuildIo io{&out, Sink::Write, Sink::Allocate, Sink::Release};
    EXPECT_TRUE(RebuildJobImage(image.data(), static_cast<u32>(image.size()), &io));
    return out;
}

std::vector<u8> WithoutJobInfoBlocks(const std::vector<u8>& stream) {
    std::vector<u8> out;
    for (size_t i = 0; i < stream.size();) {
        if (i + 4 <= stream.size() && stream[i] == 0x1B && stream[i + 1] == 0x69 &&
            stream[i + 2] == 0x49 && stream[i + 3] == 0x58) {
            i += 92;
            continue;
        }
        out.push_back(stream[i++]);
    }
    return out;
}

TEST(MultiCopyJob, IsRebuiltAndPrintedAtTheJobEnd) {
    SpoolRecordFields first, second;
    first.copies = 2;
    first.collate = 1;
    first.data = PageData(1);
    second.data = PageData(2);
    std::vector<u8> spool = SpoolFileBytes({first, second});
    std::vector<u8> expected = WithoutJobInfoBlocks(Rebuilt(spool));

    size_t filesBefore = TemporaryFileCount();
    JobRun run(LinkedTable(), "QXUSB61");
    run.printer().mediaWidth = 18;  // the tape the spooled job asks for
    ASSERT_TRUE(run.start());
    // A write of no bytes first decides nothing: only bytes tell a spooled job.
    u8 none = 0;
    u32 written = 1;
    ASSERT_TRUE(LinkedTable()->WritePort(run.spooler.handle, &none, 0, &written));
    EXPECT_EQ(written, 0u);
    ASSERT_TRUE(run.write(spool, 100));
    EXPECT_TRUE(run.received().empty());  // nothing before the job end
    ASSERT_TRUE(run.end());

    EXPECT_EQ(WithoutStatusRequests(run.received()), expected);
    std::vector<u32> codes = run.notifications();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyMediaSettings), 1);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyMediaStatus), 4);  // 2 pages x 2 copies
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyWaiting), 4);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyJobEnd), 1);
    EXPECT_EQ(TemporaryFileCount(), filesBefore);  // both temporary files are gone
}

TEST(MultiCopyJob, InvalidSpoolFileIsNotPrintedAndTheUserIsTold) {
    JobRun run(LinkedTable(), "QXUSB62");
    ASSERT_TRUE(run.start());
    std::vector<u8> junk(200, 0x41);
    junk[0] = ':';  // looks like a spooled job, but its record sizes are nonsense
    ASSERT_TRUE(run.write(junk, 4096));
    ASSERT_TRUE(run.end());
    std::vector<u8> received = run.received();
    EXPECT_EQ(received, ResetSequenceBytes());  // only the reset of an unfinished job
    std::vector<u32> codes = run.notifications();
    EXPECT_NE(std::find(codes.begin(), codes.end(), NotifySystemError), codes.end());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), NotifyJobEnd), 1);
}

struct ReplayRecorder {
    static inline std::vector<u32> offered;
    static inline u32 takeOnce = 0;  // the first call takes only this many (0: all)
    static bool Write(PortSession&, u8*, u32 length, u32& written) {
        offered.push_back(length);
        written = length;
        if (takeOnce != 0) {
            written = takeOnce;
            takeOnce = 0;
        }
        return true;
    }
    static bool Refuse(PortSession&, u8*, u32 length, u32& written) {
        offered.push_back(length);
        written = 0;
        return false;
    }
};

HANDLE TempFileOf(u32 size) {
    char directory[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    GetTempFileNameA(directory, "QXR", 0, path);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    std::vector<u8> bytes(size, 0x5A);
    DWORD written = 0;
    WriteFile(file, bytes.data(), size, &written, nullptr);
    return file;
}

TEST(MultiCopyReplay, OffersPiecesOfAtMost4096AndTheRestOfAPartialPiece) {
    PortSession session{};
    HANDLE file = TempFileOf(10000);
    ReplayRecorder::offered.clear();
    ReplayFile(session, file, ReplayRecorder::Write);
    EXPECT_EQ(ReplayRecorder::offered, (std::vector<u32>{4096, 4096, 1808}));

    ReplayRecorder::offered.clear();
    ReplayRecorder::takeOnce = 1000;
    ReplayFile(session, file, ReplayRecorder::Write);
    EXPECT_EQ(ReplayRecorder::offered, (std::vector<u32>{4096, 3096, 4096, 1808}));

    ReplayRecorder::offered.clear();
    ReplayFile(session, file, ReplayRecorder::Refuse);  // ends instead of offering for ever
    EXPECT_EQ(ReplayRecorder::offered, (std::vector<u32>{4096}));
    CloseHandle(file);
}

}  // namespace
