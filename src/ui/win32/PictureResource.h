// Pictures carried as PNG resources, made into bitmaps when first needed.
#pragma once

#include <windows.h>

namespace cvi::win32 {

// A 24-bit DIB section of the PNG stored as the RCDATA resource `id` of `instance`; nullptr when
// the resource is missing or does not decode.
HBITMAP LoadPngResource(HINSTANCE instance, int id);

}  // namespace cvi::win32
