// Pictures from the program's resources (GIF, PNG, BMP...), decoded by the platform's imaging
// component into a bitmap that a picture control can show.
#pragma once

#include <windows.h>

#include <cstddef>

namespace kelvara::toolkit {

// Decodes an encoded image; transparent pixels take the background colour. Returns a 24-bit
// DIB section the caller owns, or null when the bytes are not an image the platform can read.
HBITMAP DecodeImage(const void* data, size_t size, COLORREF background, SIZE* sizeOut = nullptr);

// The same for a resource of the module (for example type RT_RCDATA).
HBITMAP LoadImageResource(HMODULE module, const wchar_t* name, const wchar_t* type,
                          COLORREF background, SIZE* sizeOut = nullptr);

}  // namespace kelvara::toolkit
