#include "play/export/MplyScoreArchive.h"

#include <array>
#include <string>

#ifdef KV_HAVE_ZLIB
#include <zlib.h>
#endif

namespace {

void put_le(std::vector<uint8_t>& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_text(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// Raw deflate of `data` (no zlib header), or empty when it cannot be had.
std::string deflate_raw(std::string_view data) {
#ifdef KV_HAVE_ZLIB
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int r = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return r == Z_STREAM_END ? out : std::string();
#else
    (void)data;
    return {};
#endif
}

struct Entry {
    std::string name;
    uint32_t crc;
    uint32_t size;
    uint32_t packed;
    uint16_t method;  // 0 stored, 8 deflated
    uint32_t offset;
};

}  // namespace

uint32_t mply_crc32(std::string_view bytes) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (char ch : bytes)
        crc = table[(crc ^ static_cast<uint8_t>(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::vector<uint8_t> mply_mxl_image(std::string_view score_xml, std::string_view score_name) {
    const std::string container =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<container>\n  <rootfiles>\n    <rootfile full-path=\"" +
        std::string(score_name) +
        "\" media-type=\"application/vnd.recordare.musicxml+xml\"/>\n  </rootfiles>\n"
        "</container>\n";
    const std::pair<std::string, std::string_view> files[] = {
        {"mimetype", "application/vnd.recordare.musicxml"},
        {"META-INF/container.xml", container},
        {std::string(score_name), score_xml}};
    std::vector<uint8_t> out;
    std::vector<Entry> entries;
    for (const auto& [name, data] : files) {
        // The mimetype entry is read by position, so it stays stored.
        std::string packed = name == "mimetype" ? std::string() : deflate_raw(data);
        const bool deflated = !packed.empty() && packed.size() < data.size();
        const std::string_view body = deflated ? std::string_view(packed) : data;
        Entry e{name,
                mply_crc32(data),
                static_cast<uint32_t>(data.size()),
                static_cast<uint32_t>(body.size()),
                static_cast<uint16_t>(deflated ? 8 : 0),
                static_cast<uint32_t>(out.size())};
        put_le(out, 0x04034B50u, 4);  // local file header
        put_le(out, 20, 2);           // version needed: 2.0
        put_le(out, 0, 2);            // flags
        put_le(out, e.method, 2);
        put_le(out, 0, 2);     // time
        put_le(out, 0x21, 2);  // date: 1980-01-01
        put_le(out, e.crc, 4);
        put_le(out, e.packed, 4);
        put_le(out, e.size, 4);
        put_le(out, static_cast<uint32_t>(name.size()), 2);
        put_le(out, 0, 2);  // extra field length
        put_text(out, name);
        put_text(out, body);
        entries.push_back(std::move(e));
    }
    const auto directory = static_cast<uint32_t>(out.size());
    for (const Entry& e : entries) {
        put_le(out, 0x02014B50u, 4);  // central directory header
        put_le(out, 20, 2);           // made by
        put_le(out, 20, 2);           // needed
        put_le(out, 0, 2);
        put_le(out, e.method, 2);
        put_le(out, 0, 2);
        put_le(out, 0x21, 2);
        put_le(out, e.crc, 4);
        put_le(out, e.packed, 4);
        put_le(out, e.size, 4);
        put_le(out, static_cast<uint32_t>(e.name.size()), 2);
        put_le(out, 0, 2);  // extra
        put_le(out, 0, 2);  // comment
        put_le(out, 0, 2);  // disk
        put_le(out, 0, 2);  // internal attributes
        put_le(out, 0, 4);  // external attributes
        put_le(out, e.offset, 4);
        put_text(out, e.name);
    }
    const auto size = static_cast<uint32_t>(out.size()) - directory;
    put_le(out, 0x06054B50u, 4);  // end of central directory
    put_le(out, 0, 2);
    put_le(out, 0, 2);
    put_le(out, static_cast<uint32_t>(entries.size()), 2);
    put_le(out, static_cast<uint32_t>(entries.size()), 2);
    put_le(out, size, 4);
    put_le(out, directory, 4);
    put_le(out, 0, 2);
    return out;
}
