#pragma once

// Windows only: narrow paths are in the system code page (CP_ACP); the
// file interfaces take wide ones.

#include <string>

namespace lumenpull {

// False for bytes that are no text of the code page.
bool toWide(const std::string& narrow, std::wstring& wide);

// Fails for characters outside the code page instead of silently replacing
// them: a replaced name would name another file.
bool toNarrow(const std::wstring& wide, std::string& narrow);

}  // namespace lumenpull
