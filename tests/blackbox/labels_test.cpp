// Every label of a job exactly once and in order after an error the user
// cleared, through the real DLL, whatever the job's kind and however the
// spooler cuts it: the printer's labels are those of the same job printed
// without a fault (a page whose printing failed prints only once it is sent
// again, so it is no extra label). A cancel instead ends the job with the
// labels before the error and one reset.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "rig/bytes.h"
#include "rig/job_case.h"
#include "rig/resources.h"
#include "rig/spool_file_builder.h"

namespace {

MonitorTable* Dll() { return &ProgramDll().table; }

enum class Kind { Plain, ResetOnStop, Collated, Uncollated };
enum class Fault { BeforePage, WhilePrinting };

struct LabelCase {
    Kind kind;
    Fault fault;
    int page;  // 0: the job's last page
    u32 chunk;
    // USB (read in packets, drained before each page), else another kind
    // (read byte by byte).
    bool usb;
    bool cancel = false;  // the user answers the error with cancel
};

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Plain: return "Plain";
        case Kind::ResetOnStop: return "ResetOnStop";
        case Kind::Collated: return "Collated";
        case Kind::Uncollated: return "Uncollated";
    }
    return "?";
}

int PageCount(Kind kind) { return kind == Kind::Plain || kind == Kind::ResetOnStop ? 3 : 6; }

// Three pages, or two records of three copies each (a rebuilt job of six).
// Pages of different lengths, so that a label printed twice shows.
std::vector<u8> JobBytes(Kind kind) {
    if (kind == Kind::Plain || kind == Kind::ResetOnStop) {
        std::vector<PageLayout> pages(3);
        for (u16 i = 0; i < 3; ++i) {
            pages[i].pageNumber = static_cast<u16>(i + 1);
            pages[i].rasterLines = static_cast<u16>(20 + 4 * i);
            if (kind == Kind::ResetOnStop) pages[i].checkFlags = 0x0404;  // reset on stop
        }
        return BuildJob(pages).stream;
    }
    // A record a page, each ending with FF as the driver spools them (the
    // rebuild ends the job with SUB). Long enough for the rebuilt job to go
    // out in several pieces.
    BuiltJob pages = BuildSimpleJob(3, 100);
    std::vector<SpoolRecordFields> records(2);
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].copies = 3;
        records[i].collate = kind == Kind::Collated;
        records[i].data = pages.pages[i];
    }
    return SpoolFileBytes(records);
}

struct Printed {
    std::vector<std::vector<u8>> labels;
    std::vector<u8> pending;
    size_t resets = 0;
};

Printed Print(Kind kind, const LabelCase* fault, const std::string& port) {
    JobRun run(Dll(), port, "normal",
               fault != nullptr && fault->cancel ? "on error reply 3" : "on error reply 1");
    if (kind == Kind::Collated || kind == Kind::Uncollated) run.printer().mediaWidth = 18;
    if (fault != nullptr) {
        int page = fault->page != 0 ? fault->page : PageCount(kind);
        if (fault->fault == Fault::BeforePage) {
            run.printer().errorPage = static_cast<u32>(page);
            run.printer().pageErrorInfo1 = 0x02;
        } else {
            run.printer().errorStatusPage = static_cast<u32>(page);
        }
    }
    std::vector<u8> job = JobBytes(kind);
    RunBounded(port, 60000, [&] {
        if (!run.start()) return;
        run.write(job, fault != nullptr ? fault->chunk : 4096);
        run.end();
    });
    Printed printed;
    run.lower.withLock([&] {
        printed.labels = run.printer().printed;
        printed.pending = run.printer().pending();
    });
    printed.resets = CountOf(run.received(), ResetSequenceBytes());
    return printed;
}

const std::vector<std::vector<u8>>& Reference(Kind kind) {
    static std::map<Kind, std::vector<std::vector<u8>>> printed;
    auto found = printed.find(kind);
    if (found == printed.end())
        found =
            printed
                .emplace(kind, Print(kind, nullptr, std::string("QXUSB69") + KindName(kind)).labels)
                .first;
    return found->second;
}

// The faults around the pages a copy or a recovery touches: the page after
// one that printed, the last page, a page whose printing fails; the spooler's
// pieces small (every command cut) or the whole job at once.
const LabelCase kCases[] = {
    {Kind::Plain, Fault::BeforePage, 2, 512, true},
    {Kind::Plain, Fault::BeforePage, 0, 65536, false},
    {Kind::Plain, Fault::WhilePrinting, 2, 512, true},
    {Kind::ResetOnStop, Fault::BeforePage, 2, 512, false},
    {Kind::ResetOnStop, Fault::BeforePage, 2, 65536, true},
    {Kind::ResetOnStop, Fault::BeforePage, 0, 65536, false},
    {Kind::ResetOnStop, Fault::WhilePrinting, 2, 512, true},
    {Kind::ResetOnStop, Fault::WhilePrinting, 2, 65536, false},
    {Kind::Collated, Fault::BeforePage, 2, 4096, true},
    {Kind::Collated, Fault::WhilePrinting, 2, 4096, false},
    {Kind::Uncollated, Fault::BeforePage, 2, 4096, true},
    {Kind::Uncollated, Fault::BeforePage, 3, 4096, false},
    {Kind::Uncollated, Fault::BeforePage, 0, 4096, true},
    {Kind::Uncollated, Fault::WhilePrinting, 2, 4096, false},
    {Kind::ResetOnStop, Fault::BeforePage, 2, 4096, true, true},
    {Kind::Collated, Fault::BeforePage, 2, 4096, false, true},
    {Kind::Uncollated, Fault::BeforePage, 2, 4096, true, true},
};

std::string Title(const LabelCase& c) {
    return std::string(KindName(c.kind)) +
           (c.fault == Fault::BeforePage ? "_ErrorBeforePage" : "_ErrorWhilePage") +
           (c.page != 0 ? std::to_string(c.page) : std::string("Last")) + "_Chunk" +
           std::to_string(c.chunk) + (c.cancel ? "_Cancelled" : "");
}

std::string CaseTitle(const ::testing::TestParamInfo<LabelCase>& info) { return Title(info.param); }

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, ComeOutOnceInOrder) {
    const LabelCase& c = GetParam();
    std::string port = (c.usb ? "QXUSB6" : "FILE6") + Title(c);
    const std::vector<std::vector<u8>>& reference = Reference(c.kind);
    ASSERT_EQ(reference.size(), static_cast<size_t>(PageCount(c.kind)));
    Printed printed = Print(c.kind, &c, port);
    std::vector<std::vector<u8>> expected = reference;
    if (c.cancel) expected.resize(static_cast<size_t>(c.page - 1));
    EXPECT_EQ(printed.labels.size(), expected.size());
    EXPECT_EQ(printed.labels, expected);
    EXPECT_TRUE(printed.pending.empty());
    EXPECT_EQ(printed.resets, 1u);  // of the recovery, or of the cancel
}

INSTANTIATE_TEST_SUITE_P(Jobs, Labels, ::testing::ValuesIn(kCases), CaseTitle);

}  // namespace
