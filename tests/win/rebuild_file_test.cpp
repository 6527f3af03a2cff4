// RebuildMultiCopyJob over real temporary files.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "rebuild/rebuild.h"
#include "rebuild/rebuild_file.h"
#include "rig/spool_file_builder.h"

namespace {

using Buf = std::vector<u8>;

// A temporary file removed at the end of the test, opened as asked.
struct TempFile {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;

    explicit TempFile(const Buf& contents = {}, DWORD access = GENERIC_READ | GENERIC_WRITE) {
        char dir[MAX_PATH];
        char name[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "QXT", 0, name);
        path = name;
        HANDLE writer = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        if (!contents.empty())
            WriteFile(writer, contents.data(), static_cast<DWORD>(contents.size()), &written,
                      nullptr);
        CloseHandle(writer);
        handle =
            CreateFileA(name, access, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    ~TempFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        DeleteFileA(path.c_str());
    }
    // Read through the test's own handle: the file is not shared.
    Buf contents() const {
        const DWORD end = SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
        Buf out(GetFileSize(handle, nullptr));
        SetFilePointer(handle, 0, nullptr, FILE_BEGIN);
        DWORD read = 0;
        if (!out.empty()) {
            EXPECT_TRUE(
                ReadFile(handle, out.data(), static_cast<DWORD>(out.size()), &read, nullptr));
        }
        SetFilePointer(handle, static_cast<LONG>(end), nullptr, FILE_BEGIN);
        return out;
    }
};

SpoolRecordFields Record(Buf data, i16 copies, u8 collate) {
    SpoolRecordFields record;
    record.data = std::move(data);
    record.copies = copies;
    record.collate = collate;
    return record;
}

// The same job rebuilt over memory, to compare the file against.
Buf RebuiltInMemory(Buf image) {
    struct Sink {
        static bool Write(void* context, const u8* data, u32 length) {
            static_cast<Buf*>(context)->insert(static_cast<Buf*>(context)->end(), data,
                                               data + length);
            return true;
        }
        static void* Allocate(void*, u32 size) { return calloc(1, size); }
        static void Release(void*, void* block) { free(block); }
    };
    Buf out;
    RebuildIo io{&out, Sink::Write, Sink::Allocate, Sink::Release};
    EXPECT_TRUE(RebuildJobImage(image.data(), static_cast<u32>(image.size()), &io));
    return out;
}

TEST(RebuildFile, OneCopyIsWrittenWithItsBlockAndEndOfJob) {
    const Buf data{0x1B, 'i', 'K', 0x88, 'G', 1, 0, 'x', 0x0C};
    TempFile spool(SpoolFileBytes({Record(data, 1, 0)}));
    TempFile destination;
    ASSERT_TRUE(RebuildMultiCopyJob(spool.handle, destination.handle));
    const Buf out = destination.contents();
    ASSERT_EQ(out.size(), 92u + 2 + data.size());
    EXPECT_EQ(out[0], 0x1B);
    EXPECT_EQ(out[3], 'X');
    EXPECT_EQ(out[24], data.size() + 94);
    EXPECT_EQ(Buf(out.begin() + 92, out.end()),
              (Buf{0x1B, '@', 0x1B, 'i', 'K', 0x08, 'G', 1, 0, 'x', 0x1A}));
}

TEST(RebuildFile, LargeJobsStreamThroughWhole) {
    // Collated copies of a page larger than the staging buffer (1 MB), and
    // uncollated copies made of many small writes.
    Buf big{0x1B, 'i', 'K', 0x00};
    for (int line = 0; line < 17; ++line) {  // 17 lines of 65535 raster bytes
        big.insert(big.end(), {'G', 0xFF, 0xFF});
        big.resize(big.size() + 65535, 0x5A);
    }
    big.push_back(0x0C);
    Buf small{0x1B, 'i', 'K', 0x00, 'Z', 0x0C};
    for (const Buf& image :
         {SpoolFileBytes({Record(big, 5, 1), Record(big, 5, 1)}),
          SpoolFileBytes(std::vector<SpoolRecordFields>(300, Record(small, 20, 0)))}) {
        TempFile spool(image);
        TempFile destination;
        ASSERT_TRUE(RebuildMultiCopyJob(spool.handle, destination.handle));
        const Buf out = destination.contents();
        EXPECT_GT(out.size(), 128u * 1024);
        EXPECT_EQ(out, RebuiltInMemory(image));
        EXPECT_EQ(out.back(), 0x1A);
    }
}

TEST(RebuildFile, FailuresWriteNothingOrFailTheRebuild) {
    const Buf good = SpoolFileBytes({Record({'Z', 0x0C}, 2, 0)});
    Buf badHeader = good;
    badHeader[0] = 0x3B;
    Buf truncated(good.begin(), good.end() - 1);

    struct Case {
        const char* what;
        Buf image;
        DWORD spoolAccess;
        DWORD destinationAccess;
    };
    const Case cases[] = {
        {"empty spool file", {}, GENERIC_READ, GENERIC_READ | GENERIC_WRITE},
        {"headerSize not 58", badHeader, GENERIC_READ, GENERIC_READ | GENERIC_WRITE},
        {"record past the end", truncated, GENERIC_READ, GENERIC_READ | GENERIC_WRITE},
        {"spool file not readable", good, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE},
        {"destination not writable", good, GENERIC_READ, GENERIC_READ},
    };
    for (const Case& c : cases) {
        TempFile spool(c.image, c.spoolAccess);
        TempFile destination({}, c.destinationAccess);
        ASSERT_NE(spool.handle, INVALID_HANDLE_VALUE) << c.what;
        ASSERT_NE(destination.handle, INVALID_HANDLE_VALUE) << c.what;
        EXPECT_FALSE(RebuildMultiCopyJob(spool.handle, destination.handle)) << c.what;
        EXPECT_TRUE(destination.contents().empty()) << c.what;
    }
}

TEST(RebuildFile, LeavesBothFilesOpen) {
    TempFile spool(SpoolFileBytes({Record({'Z', 0x0C}, 1, 0)}));
    TempFile destination;
    ASSERT_TRUE(RebuildMultiCopyJob(spool.handle, destination.handle));
    DWORD info = 0;
    EXPECT_TRUE(GetHandleInformation(spool.handle, &info));
    EXPECT_TRUE(GetHandleInformation(destination.handle, &info));
    EXPECT_EQ(SetFilePointer(destination.handle, 0, nullptr, FILE_CURRENT), 92u + 2 + 2);
}

}  // namespace
