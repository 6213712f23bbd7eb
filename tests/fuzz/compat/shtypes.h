// The file-type pair of the shell's Open dialog, for the native sanitizer build.
#pragma once

struct COMDLG_FILTERSPEC {
    const wchar_t* pszName;
    const wchar_t* pszSpec;
};
