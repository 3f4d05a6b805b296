// Finds a top-level window by a part of its title, walking the desktop in stacking order.
#include "extract/WindowSearch.h"

namespace cvi {
namespace {

std::string TitleOf(Windows& windows, Windows::Handle window) {
  const int length = windows.TitleLength(window);
  const int size = (length > 0 ? length : 0) + 1;
  // The buffer's last place only ever holds the terminating NUL, so it is not part of the title.
  std::string title(static_cast<std::size_t>(size), '\0');
  windows.Title(window, &title[0], size);
  title.pop_back();
  return title;
}

}  // namespace

Windows::Handle FindWindowByTitle(Windows& windows,
                                  Windows::Handle& hWndFound,
                                  const std::string& titlePart) {
  for (Windows::Handle window = windows.First(); window != 0; window = windows.Next(window)) {
    if (TitleOf(windows, window).find(titlePart) != std::string::npos) {
      hWndFound = window;
      return window;
    }
  }
  return 0;
}

Windows::Handle FindOwnWindow(Windows& windows,
                              std::uint32_t process,
                              const std::string& title,
                              TitleMatch match) {
  for (Windows::Handle window = windows.First(); window != 0; window = windows.Next(window)) {
    if (windows.ProcessOf(window) != process)
      continue;
    const std::string shown = TitleOf(windows, window);
    if (match == TitleMatch::Exact ? shown.c_str() == title
                                   : shown.find(title) != std::string::npos) {
      return window;
    }
  }
  return 0;
}

}  // namespace cvi
