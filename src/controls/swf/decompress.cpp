#include "controls/swf/bitmapdecoder.h"
#include "controls/swf/movieerror.h"
#include "controls/swf/moviereader.h"

#include <lzma.h>

namespace velmora::swf {

namespace {

// LZMA movies store the 5 property bytes of an "LZMA alone" stream; the header that
// the decoder wants is those bytes plus the uncompressed size.
std::vector<std::uint8_t> unpackLzma(std::span<const std::uint8_t> props, std::span<const std::uint8_t> data,
                                     std::uint64_t size, std::size_t limit)
{
    std::vector<std::uint8_t> input(props.begin(), props.end());
    for (int i = 0; i < 8; ++i)
        input.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    input.insert(input.end(), data.begin(), data.end());

    std::vector<std::uint8_t> out(std::min<std::uint64_t>(size, limit));
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_decoder(&strm, std::uint64_t{512} * 1024 * 1024) != LZMA_OK)
        return {};
    strm.next_in = input.data();
    strm.avail_in = input.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    while (strm.avail_out > 0) {
        lzma_ret rc = lzma_code(&strm, LZMA_FINISH);
        if (rc != LZMA_OK)
            break; // the end, or a short/damaged stream: keep what was decoded
    }
    out.resize(out.size() - strm.avail_out);
    lzma_end(&strm);
    return out;
}

} // namespace

Result<MovieBody> decompressMovie(std::span<const std::uint8_t> file)
{
    if (file.size() < 8)
        return movieError(MovieError::FileTooShort);
    MovieBody body;
    body.compression = static_cast<char>(file[0]);
    if ((file[0] != 'F' && file[0] != 'C' && file[0] != 'Z') || file[1] != 'W' || file[2] != 'S')
        return movieError(MovieError::NoSignature);
    body.version = file[3];
    if (body.version == 0)
        return movieError(MovieError::VersionZero);
    body.declaredLength =
        file[4] | (file[5] << 8) | (file[6] << 16) | (static_cast<std::uint32_t>(file[7]) << 24);
    const std::size_t expected = body.declaredLength > 8 ? body.declaredLength - 8 : 0;
    const std::size_t limit = std::min(expected, kMaxMovieBytes);
    switch (body.compression) {
    case 'F': {
        auto rest = file.subspan(8);
        // A wrong length field is common; read what is there, up to the limit.
        body.bytes.assign(rest.begin(),
                          rest.begin() + static_cast<std::ptrdiff_t>(std::min(rest.size(), kMaxMovieBytes)));
        break;
    }
    case 'C': {
        std::string raw = inflateBounded(file.subspan(8), limit);
        body.bytes.assign(raw.begin(), raw.end());
        break;
    }
    case 'Z':
        if (file.size() < 17)
            return movieError(MovieError::LzmaHeaderIncomplete);
        body.bytes = unpackLzma(file.subspan(12, 5), file.subspan(17), expected, limit);
        break;
    }
    if (body.bytes.empty())
        return movieError(MovieError::BodyUndecodable);
    return body;
}

} // namespace velmora::swf
