#include "controls/swf/bitmapdecoder.h"

#include "controls/swf/bitreader.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace velmora::swf {

namespace {

bool startsWith(std::span<const std::uint8_t> data, std::initializer_list<std::uint8_t> prefix)
{
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

// Copies the marker segments up to the first frame header or scan, leaving out the
// end/start-of-image pairs that old writers put between tables and image (and the
// tables' own EOI): the image decoder would stop at them.
std::vector<std::uint8_t> repairJpeg(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out;
    out.reserve(data.size() + 2);
    std::size_t i = 0;
    bool haveSoi = false;
    while (i + 1 < data.size() && data[i] == 0xFF) {
        std::uint8_t m = data[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m == 0xD8 || m == 0xD9) {
            if (m == 0xD8 && !haveSoi) {
                out.insert(out.end(), {0xFF, 0xD8});
                haveSoi = true;
            }
            i += 2;
            continue;
        }
        bool frameOrScan = (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) || m == 0xDA;
        if (frameOrScan || i + 3 >= data.size())
            break;
        std::size_t length = (static_cast<std::size_t>(data[i + 2]) << 8) | data[i + 3];
        std::size_t end = std::min(data.size(), i + 2 + length);
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                   data.begin() + static_cast<std::ptrdiff_t>(end));
        i = end;
    }
    if (!haveSoi)
        out.insert(out.begin(), {0xFF, 0xD8});
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(std::min(i, data.size())), data.end());
    if (out.size() < 2 || out[out.size() - 2] != 0xFF || out.back() != 0xD9)
        out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

QImage fromBytes(const std::vector<std::uint8_t> &bytes, const char *format)
{
    QImage image;
    image.loadFromData(bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), INT32_MAX)),
                       format);
    if (image.isNull() || static_cast<std::int64_t>(image.width()) * image.height() > kMaxBitmapPixels)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

std::string inflateBounded(std::span<const std::uint8_t> data, std::size_t maxBytes)
{
    std::string out;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return out;
    zs.next_in = const_cast<Bytef *>(data.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(data.size(), UINT32_MAX));
    char buffer[65536];
    while (out.size() < maxBytes) {
        zs.next_out = reinterpret_cast<Bytef *>(buffer);
        zs.avail_out = sizeof buffer;
        int rc = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - zs.avail_out);
        if (rc != Z_OK)
            break; // end of stream, or a damaged/short one: keep what came out
        if (zs.avail_in == 0 && zs.avail_out != 0)
            break;
    }
    inflateEnd(&zs);
    if (out.size() > maxBytes)
        out.resize(maxBytes);
    return out;
}

QImage decodeJpegPayload(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables)
{
    if (startsWith(data, {0x89, 'P', 'N', 'G'}))
        return fromBytes({data.begin(), data.end()}, "PNG");
    if (startsWith(data, {'G', 'I', 'F', '8'}))
        return fromBytes({data.begin(), data.end()}, "GIF");
    std::vector<std::uint8_t> joined(tables.begin(), tables.end());
    joined.insert(joined.end(), data.begin(), data.end());
    return fromBytes(repairJpeg(joined), "JPEG");
}

QImage applyJpegAlpha(QImage image, std::span<const std::uint8_t> compressedAlpha)
{
    if (image.isNull() || compressedAlpha.empty())
        return image;
    const std::size_t pixels =
        static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height());
    std::string alpha = inflateBounded(compressedAlpha, pixels);
    if (alpha.size() < pixels)
        return image; // no usable alpha: keep the image opaque
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    std::size_t k = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, ++k) {
            int a = static_cast<std::uint8_t>(alpha[k]);
            QRgb p = line[x];
            // The colours are meant as premultiplied; no channel may exceed alpha.
            line[x] = qRgba(std::min(qRed(p), a), std::min(qGreen(p), a), std::min(qBlue(p), a), a);
        }
    }
    return image;
}

QImage decodeLossless(std::span<const std::uint8_t> body, bool withAlpha, std::string &error)
{
    if (body.size() < 5) {
        error = "bitmap header ends early";
        return {};
    }
    const int format = body[0];
    const int width = body[1] | (body[2] << 8);
    const int height = body[3] | (body[4] << 8);
    if (width == 0 || height == 0 || static_cast<std::int64_t>(width) * height > kMaxBitmapPixels) {
        error = "bitmap size " + std::to_string(width) + "x" + std::to_string(height) + " refused";
        return {};
    }
    std::size_t at = 5;
    int paletteSize = 0;
    if (format == 3) {
        if (body.size() < 6) {
            error = "bitmap palette size missing";
            return {};
        }
        paletteSize = body[5] + 1;
        at = 6;
    } else if (format != 5 && !(format == 4 && !withAlpha)) {
        error = "bitmap format " + std::to_string(format) + " unknown";
        return {};
    }
    const std::size_t entry = withAlpha ? 4 : 3;
    const std::size_t stride = format == 3   ? (static_cast<std::size_t>(width) + 3) & ~std::size_t(3)
                               : format == 4 ? (static_cast<std::size_t>(width) * 2 + 3) & ~std::size_t(3)
                                             : static_cast<std::size_t>(width) * 4;
    const std::size_t paletteBytes = static_cast<std::size_t>(paletteSize) * entry;
    const std::size_t needed = paletteBytes + stride * static_cast<std::size_t>(height);
    std::string raw = inflateBounded(body.subspan(at), needed);
    if (raw.size() < needed) // a short stream leaves the missing rows transparent
        raw.resize(needed, '\0');
    auto byte = [&raw](std::size_t i) { return static_cast<std::uint8_t>(raw[i]); };

    auto premultiplied = [](int r, int g, int b, int a) {
        return qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
    };
    std::vector<QRgb> palette(static_cast<std::size_t>(paletteSize));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        std::size_t p = i * entry;
        palette[i] = withAlpha ? premultiplied(byte(p), byte(p + 1), byte(p + 2), byte(p + 3))
                               : qRgb(byte(p), byte(p + 1), byte(p + 2));
    }
    // Out-of-range indices: black in opaque bitmaps, transparent with alpha.
    const QRgb missing = withAlpha ? qRgba(0, 0, 0, 0) : qRgb(0, 0, 0);

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        error = "out of memory for bitmap";
        return {};
    }
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const std::size_t row = paletteBytes + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
            const std::size_t ux = static_cast<std::size_t>(x);
            if (format == 3) {
                std::size_t index = byte(row + ux);
                line[x] = index < palette.size() ? palette[index] : missing;
            } else if (format == 4) {
                int v = (byte(row + ux * 2) << 8) | byte(row + ux * 2 + 1);
                auto expand = [](int c) { return (c * 255 + 15) / 31; };
                line[x] = qRgb(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
            } else {
                std::size_t p = row + ux * 4;
                line[x] = withAlpha ? premultiplied(byte(p + 1), byte(p + 2), byte(p + 3), byte(p))
                                    : qRgb(byte(p + 1), byte(p + 2), byte(p + 3));
            }
        }
    }
    return image;
}

QImage decodeBitmapTag(TagCode code, std::span<const std::uint8_t> body,
                       std::span<const std::uint8_t> jpegTables)
{
    QImage image;
    switch (code) {
    case TagCode::DefineBits:
        image = decodeJpegPayload(body, jpegTables);
        break;
    case TagCode::DefineBitsJPEG2:
        image = decodeJpegPayload(body);
        break;
    case TagCode::DefineBitsJPEG3:
    case TagCode::DefineBitsJPEG4: {
        BitReader in(body);
        const std::uint32_t alphaOffset = in.u32();
        if (code == TagCode::DefineBitsJPEG4)
            in.u16(); // deblocking
        const auto data = in.bytes(std::min<std::size_t>(alphaOffset, in.remaining()));
        image = decodeJpegPayload(data);
        const bool isJpeg = data.size() > 1 && data[0] == 0xFF; // PNG and GIF bring their own alpha
        if (isJpeg)
            image = applyJpegAlpha(image, in.rest());
        break;
    }
    case TagCode::DefineBitsLossless:
    case TagCode::DefineBitsLossless2: {
        std::string error;
        image = decodeLossless(body, code == TagCode::DefineBitsLossless2, error);
        if (image.isNull())
            throw BadTag(error);
        break;
    }
    default:
        break;
    }
    if (image.isNull())
        throw BadTag("the bitmap could not be decoded");
    return image;
}

} // namespace velmora::swf
