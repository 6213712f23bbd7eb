// The recording file type ".vxrec" with its log in a folder of its own, so that the folders a
// scenario browses hold only the files it puts there.
#pragma once

#include "RecordingFileType.h"
#include "TempFolder.h"

struct RecordedLaunches {
    TempFolder logFolder;
    RecordingFileType fileType{L".vxrec", logFolder.Path() + L"launches.log"};
};
