#include "Image.h"

#include <wincodec.h>

#include <vector>

#include "Com.h"

namespace kelvara::toolkit {

HBITMAP DecodeImage(const void* data, size_t size, COLORREF background, SIZE* sizeOut) {
  if (!data || size == 0 || size > 0x7FFFFFFF) return nullptr;
  ScopedCom com;
  if (!com.Usable()) return nullptr;

  ComPtr<IWICImagingFactory> factory;
  if (FAILED(system::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Put()))))
    return nullptr;
  ComPtr<IWICStream> stream;
  if (FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                          static_cast<DWORD>(size))))
    return nullptr;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.Put())))
    return nullptr;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.Put()))) return nullptr;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.Put())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return nullptr;
  UINT width = 0, height = 0;
  if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 ||
      width > 16384 || height > 16384)
    return nullptr;
  std::vector<BYTE> pixels(static_cast<size_t>(width) * height * 4);
  if (FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size()),
                                   pixels.data())))
    return nullptr;

  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = static_cast<LONG>(width);
  bi.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows, as WIC gives them
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  auto* out = static_cast<BYTE*>(bits);
  const int bgB = GetBValue(background), bgG = GetGValue(background), bgR = GetRValue(background);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      const BYTE* s = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      BYTE* d = out + y * stride + x * 3;
      const int a = s[3];
      d[0] = static_cast<BYTE>((s[0] * a + bgB * (255 - a)) / 255);
      d[1] = static_cast<BYTE>((s[1] * a + bgG * (255 - a)) / 255);
      d[2] = static_cast<BYTE>((s[2] * a + bgR * (255 - a)) / 255);
    }
  }
  if (sizeOut) *sizeOut = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
  return bitmap;
}

HBITMAP LoadImageResource(HMODULE module, const wchar_t* name, const wchar_t* type,
                          COLORREF background, SIZE* sizeOut) {
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return nullptr;
  HGLOBAL res = LoadResource(module, info);
  const void* data = res ? LockResource(res) : nullptr;
  if (!data) return nullptr;
  return DecodeImage(data, SizeofResource(module, info), background, sizeOut);
}

}  // namespace kelvara::toolkit
