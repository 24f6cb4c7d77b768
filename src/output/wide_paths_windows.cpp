#include "output/wide_paths.h"

#include <windows.h>

namespace lumenpull {

bool toWide(const std::string& narrow, std::wstring& wide) {
    wide.clear();
    if (narrow.empty()) return true;
    const int length =
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                                 wide.data(), length) == length;
}

bool toNarrow(const std::wstring& wide, std::string& narrow) {
    narrow.clear();
    if (wide.empty()) return true;
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                             nullptr, 0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) return false;
    narrow.resize(static_cast<size_t>(length));
    return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                 narrow.data(), length, nullptr, &usedDefault) == length &&
           !usedDefault;
}

}  // namespace lumenpull
