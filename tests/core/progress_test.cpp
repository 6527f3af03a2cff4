// Progress of a page as reported to the status monitor application.
#include <gtest/gtest.h>

#include <vector>

#include "statmon/progress.h"

namespace {

JobInfoBlock Page(u32 pageBytes, u16 pageNumber, u8 partCount = 1, u16 partIndex = 1) {
    JobInfoBlock info{};
    info.pageBytes = pageBytes;
    info.pageNumber = pageNumber;
    info.partCount = partCount;
    info.partIndex = partIndex;
    return info;
}

struct ProgressCase {
    const char* what;
    JobInfoBlock info;
    u32 sent;
    i16 lastBefore;
    i16 kind;
    bool send;
    u16 page;
    u16 percent;
    i16 lastAfter;
};

TEST(Progress, ReportsWhatTheTableSays) {
    const ProgressCase cases[] = {
        {"half of one part", Page(1000, 3), 500, -1, SEG_PLAIN, true, 3, 50, 50},
        {"half of the second of two parts", Page(1000, 4, 2, 2), 500, -1, SEG_PLAIN, true, 4, 75,
         75},
        {"start of the first of two parts", Page(1000, 4, 2, 1), 0, -1, SEG_PLAIN, true, 4, 0, 0},
        {"thirds truncate each division", Page(1000, 1, 3, 3), 1000, -1, SEG_PLAIN, true, 1, 99,
         99},
        {"truncated percentage", Page(3, 1), 1, -1, SEG_PLAIN, true, 1, 33, 33},
        {"more sent than the page holds is capped", Page(100, 2), 250, -1, SEG_SPLIT, true, 2, 100,
         100},
        {"capped also across parts", Page(100, 2, 2, 2), 250, -1, SEG_PLAIN, true, 2, 100, 100},
        {"repeat is not sent", Page(1000, 5), 500, 50, SEG_PLAIN, false, 5, 50, 50},
        {"page end always sends 100", Page(1000, 5), 1000, 100, SEG_PAGE_END, true, 5, 100, 100},
        {"page end leaves lastPercent", Page(1000, 5), 10, 7, SEG_PAGE_END, true, 5, 100, 7},
        {"last page sends 100", Page(1000, 6), 10, 7, SEG_LAST_PAGE, true, 6, 100, 7},
        {"no byte count: last page is page 1 done", Page(0, 9), 10, 7, SEG_LAST_PAGE, true, 1, 100,
         7},
        {"no byte count: plain sends nothing", Page(0, 9), 10, 7, SEG_PLAIN, false, 0, 0, 7},
        {"no byte count: page end sends nothing", Page(0, 9), 10, 7, SEG_PAGE_END, false, 0, 0, 7},
        {"no byte count: split sends nothing", Page(0, 9), 10, 7, SEG_SPLIT, false, 0, 0, 7},
        {"part index 0 does not go below zero", Page(1000, 1, 2, 0), 0, -1, SEG_PLAIN, true, 1, 0,
         0},
        {"pages above 42 MB do not wrap", Page(50000000, 1), 45000000, -1, SEG_PLAIN, true, 1, 90,
         90},
    };
    for (const ProgressCase& c : cases) {
        i16 last = c.lastBefore;
        ProgressReport report = ComputeProgress(c.info, c.sent, last, c.kind);
        EXPECT_EQ(report.send, c.send) << c.what;
        if (c.send) {
            EXPECT_EQ(report.page, c.page) << c.what;
            EXPECT_EQ(report.percent, c.percent) << c.what;
        }
        EXPECT_EQ(last, c.lastAfter) << c.what;
    }
}

TEST(Progress, RunningPageReportsEachNewValueOnce) {
    JobInfoBlock info = Page(1000, 2);
    i16 last = -1;
    std::vector<u16> sent;
    for (u32 bytes : {0u, 5u, 9u, 10u, 10u, 500u, 999u, 1000u}) {
        ProgressReport report = ComputeProgress(info, bytes, last, SEG_PLAIN);
        if (report.send) sent.push_back(report.percent);
    }
    ProgressReport end = ComputeProgress(info, 1000, last, SEG_PAGE_END);
    EXPECT_TRUE(end.send);
    EXPECT_EQ(sent, (std::vector<u16>{0, 1, 50, 99, 100}));
}

}  // namespace
