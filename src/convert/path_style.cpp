#include "convert/path_style.h"

namespace lumenpull {

bool isSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

char separatorOf(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

std::size_t rootLength(const std::string& path, PathStyle style) {
    std::size_t i = 0;
    if (style == PathStyle::Windows) {
        if (path.size() >= 2 && isSeparator(path[0], style) && isSeparator(path[1], style)) {
            // \\server\share: two names after the double separator.
            i = 2;
            for (int names = 0; names < 2; ++names) {
                while (i < path.size() && !isSeparator(path[i], style)) ++i;
                if (i < path.size()) ++i;
            }
            return i;
        }
        if (path.size() >= 2 && path[1] == ':') i = 2;
    }
    while (i < path.size() && isSeparator(path[i], style)) ++i;
    return i;
}

}  // namespace lumenpull
