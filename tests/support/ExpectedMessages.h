// The two message boxes as a user must see them, written out independently of the program.
#pragma once

#include <wchar.h>

inline constexpr const wchar_t kSyntaxCaption[] = L"VeltrinExplorer Command Line Syntax";
// The example uses the comma that the parser accepts, so that it can be copied as shown.
inline constexpr const wchar_t kSyntaxText[] =
    L"Command Line Switches:\n\n\t/START,folder-or-fspec\n"
    L"\t/FILTER,\"descr | spec {... | descr | spec}\"\n\t/TITLE,title\n"
    L"\t/CANCEL,cancel-button-label (default='Exit')\n\t/MAX{IMIZE}\n\t/MAXBTN\n\t/NOADDRESS\n"
    L"\t/NOCHANGEDIR\n\t/NOFILEPROMPT\n\nExample:\n\n\t/START,\\\\myserver\\myshare\n"
    L"\t/FILTER,\"Images | *.png;*.jpg | Documents | *.doc;*.docx;*.pdf\"\n\nNote:\t\n"
    L"\tQuote entire filter; no spaces within filter spec fields.";

inline constexpr const wchar_t kFilterCaption[] = L"VeltrinExplorer Bad /FILTER Argument";
inline constexpr const wchar_t kFilterText[] =
    L"Filter syntax:\n\n\tdescr | spec { ... | descr | spec}\n\nExample:\n\n"
    L"\tImage files | *.png; *.ico;*.jpg | documents | *.doc;*.docx\n\n"
    L"Note: Do not embed spaces within the spec field!";
