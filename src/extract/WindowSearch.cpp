// Finds a top-level window by a part of its title, walking the desktop in stacking order.
#include "extract/WindowSearch.h"

namespace cvi {

Windows::Handle FindWindowByTitle(Windows& windows,
                                  Windows::Handle& hWndFound,
                                  const std::string& titlePart) {
  for (Windows::Handle window = windows.First(); window != 0; window = windows.Next(window)) {
    const int length = windows.TitleLength(window);
    const int size = (length > 0 ? length : 0) + 1;
    // The buffer's last place only ever holds the terminating NUL, so it is not part of the title.
    std::string title(static_cast<std::size_t>(size), '\0');
    windows.Title(window, &title[0], size);
    title.pop_back();
    if (title.find(titlePart) != std::string::npos) {
      hWndFound = window;
      return window;
    }
  }
  return 0;
}

}  // namespace cvi
