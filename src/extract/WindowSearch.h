// Finds a top-level window, of any program, by a part of its title.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace cvi {

// The first top-level window, from the top of the stacking order down, whose title contains
// `titlePart` (case-sensitive); hidden and owned windows count too. On a match the handle is also
// stored into `hWndFound`; otherwise `hWndFound` keeps what it held and 0 is returned.
Windows::Handle FindWindowByTitle(Windows& windows,
                                  Windows::Handle& hWndFound,
                                  const std::string& titlePart);

enum class TitleMatch { Exact, Contains };

// The first top-level window of `process` whose title is `title` (or contains it); 0 when there is
// none. Another program's window of the same title is passed over.
Windows::Handle FindOwnWindow(Windows& windows,
                              std::uint32_t process,
                              const std::string& title,
                              TitleMatch match);

}  // namespace cvi
