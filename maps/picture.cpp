#include "maps/picture.h"

#include <windows.h>
#include <wincodec.h>

#include "core/com.h"
#include "core/text.h"
#include "maps/tga_reader.h"

namespace {

bool DecodeWithWic(const std::string& bytes, Picture& picture) {
    const ComScope com;
    Com<IWICImagingFactory> factory;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    UINT width = 0, height = 0;
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF ||
        FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.out()))) ||
        FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))) ||
        FAILED(
            factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) || FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > tga::kMaxSide ||
        height > tga::kMaxSide) {
        return false;
    }
    picture.width = static_cast<int>(width);
    picture.height = static_cast<int>(height);
    picture.bgra.assign(static_cast<std::size_t>(width) * height * 4, 0);
    return SUCCEEDED(
        converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(picture.bgra.size()), picture.bgra.data()));
}

}  // namespace

bool DecodePicture(const std::wstring& name, const std::string& bytes, Picture& picture) {
    const bool targa = EqualNoCase(ExtensionOf(name), L".tga");
    if (!targa) return DecodeWithWic(bytes, picture);
    tga::Image image;
    if (!tga::Read(bytes, image)) return false;
    picture = {image.width, image.height, std::move(image.bgra)};
    return true;
}
