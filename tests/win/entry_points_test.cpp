// The table the spooler receives, the entry point and the text helpers.
#include <gtest/gtest.h>

#include "rig/linked_monitor.h"

namespace {

void FillWithGarbage(MonitorTable& table) {
    auto* slots = reinterpret_cast<uintptr_t*>(&table);
    for (int i = 0; i < MONITOR_SLOT_COUNT; ++i) slots[i] = 0xdeadbeef;
}

void ExpectMonitorTable(const MonitorTable& table) {
    EXPECT_EQ(table.EnumPorts, nullptr);
    EXPECT_EQ(table.OpenPort, nullptr);
    EXPECT_EQ(table.OpenPortEx, &OpenPortEx);
    EXPECT_EQ(table.StartDocPort, &StartDocPort);
    EXPECT_EQ(table.WritePort, &WritePort);
    EXPECT_EQ(table.ReadPort, &ReadPort);
    EXPECT_EQ(table.EndDocPort, &EndDocPort);
    EXPECT_EQ(table.ClosePort, &ClosePort);
    EXPECT_EQ(table.AddPort, nullptr);
    EXPECT_EQ(table.ConfigurePort, nullptr);
    EXPECT_EQ(table.DeletePort, nullptr);
    EXPECT_EQ(table.GetPrinterDataFromPort, &GetPrinterDataFromPort);
    EXPECT_EQ(table.SetPortTimeOuts, nullptr);
}

TEST(EntryPoints, FillsTheTableWhateverTheRegistryRoot) {
    char root[] = "System\\CurrentControlSet\\Control\\Print\\Monitors\\QX";
    char empty[] = "";
    for (char* registryRoot : {root, empty, static_cast<char*>(nullptr)}) {
        MonitorTable table;
        FillWithGarbage(table);
        EXPECT_TRUE(InitializeMonitorEx(registryRoot, &table));
        ExpectMonitorTable(table);
    }
}

TEST(EntryPoints, OnlyProcessAttachRecordsTheInstance) {
    HINSTANCE before = g_process.moduleInstance;
    auto* other = reinterpret_cast<HINSTANCE>(0x12340000);
    for (DWORD reason : {DLL_PROCESS_DETACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH}) {
        EXPECT_TRUE(DllEntryPoint(other, reason, nullptr));
        EXPECT_EQ(g_process.moduleInstance, before) << reason;
    }
    EXPECT_TRUE(DllEntryPoint(other, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(g_process.moduleInstance, other);
    g_process.moduleInstance = before;
}

TEST(TextHelpers, DuplicateTextUsesTheGlobalHeap) {
    char* empty = DuplicateText("");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], '\0');
    EXPECT_EQ(GlobalSize(empty), 1u);
    FreeText(empty);

    char* copy = DuplicateText("Label");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "Label");
    EXPECT_EQ(GlobalSize(copy), 6u);
    FreeText(copy);

    EXPECT_EQ(DuplicateText(nullptr), nullptr);
    FreeText(nullptr);
}

constexpr int COUNTER_THREADS = 4, COUNTS_EACH = 5000;

DWORD WINAPI CountBlocks(LPVOID) {
    for (int i = 0; i < COUNTS_EACH; ++i) NextBlockCounter();
    return 0;
}

TEST(BlockCounter, CountsEveryIncrementAcrossThreads) {
    u32 start = NextBlockCounter();
    constexpr int THREADS = COUNTER_THREADS, EACH = COUNTS_EACH;
    HANDLE threads[THREADS];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, CountBlocks, nullptr, 0, nullptr);
    WaitForMultipleObjects(THREADS, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    EXPECT_EQ(NextBlockCounter(), start + THREADS * EACH + 1);
}

}  // namespace
