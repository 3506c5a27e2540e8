// Picking a decoder: by signature, by file extension, and reading picture files.
#include "imaging/ImageCodecs.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/ByteOrder.h"
#include "common/TextConvert.h"
#include "imaging/ImageDecoders.h"

namespace mellodeck {
namespace {

// Picture files larger than this are not read (the largest picture the decoders accept fits easily).
constexpr uintmax_t kMaxImageFileSize = 64ull * 1024 * 1024;

bool StartsWith(const uint8_t* data, size_t size, const char* signature, size_t length) {
    return size >= length && std::memcmp(data, signature, length) == 0;
}

wchar_t LowerAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The extension of the last path component, without the dot; empty when there is none.
std::wstring ExtensionOf(const std::wstring& fileName) {
    const size_t slash = fileName.find_last_of(L"\\/");
    const size_t dot = fileName.rfind(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return std::wstring();
    return fileName.substr(dot + 1);
}

// A file system path from wide text. Windows paths are UTF-16 already; elsewhere wide text is turned into
// UTF-8 here, because the standard library would convert it through the current C locale (plain ASCII in
// most processes) and fail on anything beyond it; a narrow path is taken byte for byte.
std::filesystem::path PathFromWide(const std::wstring& text) {
#ifdef _WIN32
    return std::filesystem::path(text);
#else
    return std::filesystem::path(WideToUtf8(text));
#endif
}

} // namespace

ImageKind DetectImageKind(const uint8_t* data, size_t size) {
    if (!data)
        return ImageKind::Unknown;
    if (StartsWith(data, size, "\xFF\xD8\xFF", 3))
        return ImageKind::Jpeg;
    if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8))
        return ImageKind::Png;
    if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
        return ImageKind::Gif;
    // Classic TIFF (42) and BigTIFF (43), both byte orders.
    if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4) ||
        StartsWith(data, size, "II+\0", 4) || StartsWith(data, size, "MM\0+", 4))
        return ImageKind::Tiff;
    // "BM" alone is too weak a signature; also require a known bitmap header size.
    if (StartsWith(data, size, "BM", 2) && size >= 18) {
        const uint32_t headerSize = GetLE32(data + 14);
        switch (headerSize) {
        case 12:
        case 16:
        case 40:
        case 52:
        case 56:
        case 64:
        case 108:
        case 124:
            return ImageKind::Bmp;
        default:
            break;
        }
    }
    return ImageKind::Unknown;
}

ImageKind ImageKindFromExtension(const std::wstring& extension) {
    std::wstring ext = extension;
    if (!ext.empty() && ext[0] == L'.')
        ext.erase(0, 1);
    for (wchar_t& c : ext)
        c = LowerAscii(c);
    if (ext == L"jpg" || ext == L"jpeg" || ext == L"jpe" || ext == L"jfif")
        return ImageKind::Jpeg;
    if (ext == L"png")
        return ImageKind::Png;
    if (ext == L"gif")
        return ImageKind::Gif;
    if (ext == L"tif" || ext == L"tiff")
        return ImageKind::Tiff;
    if (ext == L"bmp" || ext == L"dib")
        return ImageKind::Bmp;
    return ImageKind::Unknown;
}

bool DecodeImage(ImageKind kind, const uint8_t* data, size_t size, Bitmap32& out) {
    if (!data || size == 0)
        return false;
    try {
        switch (kind) {
        case ImageKind::Jpeg:
            return imaging_detail::DecodeJpeg(data, size, out);
        case ImageKind::Png:
            return imaging_detail::DecodePng(data, size, out);
        case ImageKind::Gif:
            return imaging_detail::DecodeGif(data, size, out);
        case ImageKind::Tiff:
            return imaging_detail::DecodeTiff(data, size, out);
        case ImageKind::Bmp:
            return imaging_detail::DecodeBmp(data, size, out);
        case ImageKind::Unknown:
            break;
        }
    } catch (...) {
        // The decoders do not throw; an owner's change callback might.
    }
    return false;
}

void FitInside(int width, int height, int boxWidth, int boxHeight, int& outWidth, int& outHeight) {
    outWidth = width;
    outHeight = height;
    if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0 || (width <= boxWidth && height <= boxHeight))
        return;
    // The side that limits takes the box's size; the other is rounded to the nearest pixel, in integers so
    // that every platform gets the same size.
    const int64_t w = width, h = height;
    if (w * boxHeight > h * boxWidth) {
        outWidth = boxWidth;
        outHeight = static_cast<int>(std::max<int64_t>(1, (2 * h * boxWidth + w) / (2 * w)));
    } else {
        outHeight = boxHeight;
        outWidth = static_cast<int>(std::max<int64_t>(1, (2 * w * boxHeight + h) / (2 * h)));
    }
}

bool DecodeImageToFit(ImageKind kind, const uint8_t* data, size_t size, int boxWidth, int boxHeight, Bitmap32& out) {
    if (!data || size == 0)
        return false;
    try {
        Bitmap32 decoded;
        int width = 0, height = 0, scale = 8;
        if (kind == ImageKind::Jpeg) {
            if (!imaging_detail::DecodeJpegScaled(data, size, boxWidth, boxHeight, decoded, width, height, scale))
                return false;
        } else {
            if (!DecodeImage(kind, data, size, decoded))
                return false;
            width = decoded.Width();
            height = decoded.Height();
        }
        int fitWidth, fitHeight;
        FitInside(width, height, boxWidth, boxHeight, fitWidth, fitHeight);
        if (decoded.Width() != fitWidth || decoded.Height() != fitHeight) {
            Bitmap32 scaled = imaging_detail::ResampleBoxFromScaled(decoded, width, height, scale, fitWidth, fitHeight);
            if (scaled.Empty())
                return false;
            out = std::move(scaled);
        } else {
            out = std::move(decoded);
        }
        return true;
    } catch (...) {
        // As DecodeImage: nothing escapes (memory, or an owner's change callback).
    }
    return false;
}

bool DecodeImageAuto(const uint8_t* data, size_t size, const std::wstring& fileName, Bitmap32& out) {
    const ImageKind byContent = DetectImageKind(data, size);
    if (byContent != ImageKind::Unknown && DecodeImage(byContent, data, size, out))
        return true;
    const ImageKind byExtension = ImageKindFromExtension(ExtensionOf(fileName));
    return byExtension != ImageKind::Unknown && byExtension != byContent && DecodeImage(byExtension, data, size, out);
}

bool LoadImageFile(const std::wstring& path, Bitmap32& out) {
    try {
        const std::filesystem::path file = PathFromWide(path);
        std::error_code ec;
        const uintmax_t fileSize = std::filesystem::file_size(file, ec);
        if (ec || fileSize == 0 || fileSize > kMaxImageFileSize)
            return false;
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return false;
        std::vector<uint8_t> bytes(static_cast<size_t>(fileSize));
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        // The file may have shrunk between the size query and the read.
        bytes.resize(static_cast<size_t>(in.gcount()));
        return DecodeImageAuto(bytes.data(), bytes.size(), path, out);
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace mellodeck
