#include "SettingsMarker.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr unsigned char kMarker = 0xA5;

bool InsideAny(const unsigned char* byte, std::initializer_list<FieldSpan> spans)
{
    for (const FieldSpan& span : spans) {
        const auto* begin = static_cast<const unsigned char*>(span.begin);
        if (byte >= begin && byte < begin + span.bytes) {
            return true;
        }
    }
    return false;
}

} // namespace

void MarkLaunchSettings()
{
    std::memset(&LaunchSettings, kMarker, sizeof LaunchSettings);
    LaunchSettings.windowFlags = 0;
}

std::wstring ChangedOutside(std::initializer_list<FieldSpan> writable)
{
    const auto* record = reinterpret_cast<const unsigned char*>(&LaunchSettings);
    std::wstring changed;
    // windowFlags was cleared rather than marked; a test that allows no flag reads it itself.
    const FieldSpan flags = SpanOf(LaunchSettings.windowFlags);
    for (size_t offset = 0; offset < sizeof LaunchSettings; ++offset) {
        const unsigned char* byte = record + offset;
        if (*byte != kMarker && !InsideAny(byte, writable) && !InsideAny(byte, {flags})) {
            changed += std::to_wstring(offset) + L' ';
        }
    }
    return changed;
}

bool TerminatedWithin(const wchar_t (&field)[kPathUnits])
{
    return std::wmemchr(field, L'\0', kPathUnits) != nullptr;
}
