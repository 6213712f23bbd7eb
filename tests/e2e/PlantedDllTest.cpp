// A program started from a folder that also holds DLLs named like system ones, as a Downloads
// folder may: none of them may run inside the program.
#include "ExplorerSession.h"
#include "RecordingFileType.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Loaded by name in the program's process: the first three by Windows' Open dialog, the last
// by Wine's user32 once the program runs. Not uxtheme and version: Wine's own system DLLs take
// those from the exe's folder whatever the program says (version while the exe's imports are
// resolved, uxtheme through a delay load with a search of its own), which Windows' do not, and
// Wine stops the program at the first call into the planted version.
const std::wstring kPlantedNames[] = {L"dwmapi.dll", L"propsys.dll", L"cryptbase.dll",
                                      L"winex11.drv"};

// Puts a copy of the program and a marker DLL under every planted name into the folder.
std::wstring PlantBeside(const TempFolder& folder, const std::wstring& program)
{
    const std::wstring marker = ExecutableDirectory() + L"planted-dll.dll";
    for (const std::wstring& name : kPlantedNames) {
        CopyFileW(marker.c_str(), (folder.Path() + name).c_str(), FALSE);
    }
    CopyFileW((ExecutableDirectory() + program).c_str(), (folder.Path() + program).c_str(), FALSE);
    return folder.Path() + program;
}

bool MarkerLeft(const TempFolder& folder, const std::wstring& name)
{
    return GetFileAttributesW((folder.Path() + name + L".ran").c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(PlantedDlls, RunInAProgramThatLoadsThemWithoutCare)
{
    TempFolder folder;
    std::wstring names;
    for (const std::wstring& name : kPlantedNames) {
        names += name + L" ";
    }
    WindowDriver::LaunchedProgram loader(PlantBeside(folder, L"unprotected-loader.exe"), names);
    DWORD exitCode = 1;
    ASSERT_TRUE(loader.WaitForExit(kExitTimeoutMs, &exitCode));
    for (const std::wstring& name : kPlantedNames) {
        EXPECT_TRUE(MarkerLeft(folder, name)) << "the marker did not run as " << name;
    }
}

TEST(PlantedDlls, NeverRunInsideTheProgram)
{
    TempFolder folder;
    {
        ExplorerSession session(L"/START,C:\\windows\\", {},
                                PlantBeside(folder, L"VeltrinExplorer.exe"));
        HWND browser = session.WaitForTailoredBrowser();
        EXPECT_NE(nullptr, browser);
        EXPECT_TRUE(browser != nullptr && session.ExitThroughCancel(browser));
    }
    for (const std::wstring& name : kPlantedNames) {
        EXPECT_FALSE(MarkerLeft(folder, name)) << "a planted " << name << " ran in the program";
    }
}

} // namespace
