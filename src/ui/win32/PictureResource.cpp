// Pictures carried as PNG resources: the program's own decoder, so that no imaging DLL loads.
#include "ui/win32/PictureResource.h"

#include <cstring>

#include "codec/Png.h"

namespace cvi::win32 {

HBITMAP LoadPngResource(HINSTANCE instance, int id) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_RCDATA);
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  codec::DibPixels pixels;
  if (!data || !codec::DecodePng(static_cast<const std::uint8_t*>(data),
                                 SizeofResource(instance, found), &pixels)) {
    return nullptr;
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = pixels.height;  // bottom-up, as the rows come
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap)
    std::memcpy(bits, pixels.bits.data(), pixels.bits.size());
  return bitmap;
}

}  // namespace cvi::win32
