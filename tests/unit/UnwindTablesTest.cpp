// x64 Windows finds each frame by its unwind data, to dispatch an exception past it or to write a
// crash dump: the program's own code must carry that data, not only the runtime's.
#include "LaunchSettings.h"

#include <gtest/gtest.h>

TEST(UnwindTables, CoverTheProgramsOwnRoutines)
{
    const struct {
        const char* name;
        const void* address;
    } routines[] = {
        {"RunBrowserDialog", reinterpret_cast<const void*>(&RunBrowserDialog)},
        {"ParseCommandLine", reinterpret_cast<const void*>(&ParseCommandLine)},
        {"StartSelectWorker", reinterpret_cast<const void*>(&StartSelectWorker)},
        {"SelectItemThreadProc", reinterpret_cast<const void*>(&SelectItemThreadProc)},
    };
    for (const auto& routine : routines) {
        DWORD64 imageBase = 0;
        const auto address = reinterpret_cast<DWORD64>(routine.address);
        EXPECT_NE(nullptr, RtlLookupFunctionEntry(address, &imageBase, nullptr)) << routine.name;
    }
}
