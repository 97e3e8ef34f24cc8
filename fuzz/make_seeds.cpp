// Writes the seed corpus of the file-reader fuzz target into a directory:
// small images of every type, one to three dimensions, raw and compressed,
// in this machine's byte order and converted to the other one, a few with
// a tail, and hostile files the reader must refuse.
#include "zvek.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes writeImage(ZVEKHDR *h, int withTail) {
    char *buf = nullptr;
    size_t len = 0;
    FILE *out = open_memstream(&buf, &len);
    ZvekWrImg(h, out, withTail);
    std::fclose(out);
    Bytes b(buf, buf + len);
    std::free(buf);
    return b;
}

void reverse(uint8_t *p, int n) { std::reverse(p, p + n); }

// The file of the other byte order: numbers of the header and the records
// reversed, each data component reversed, the data recompressed when the
// file holds a zlib stream. The tail is dropped, as a reader of the other
// order does.
Bytes otherOrder(Bytes b, const ZVEKHDR *h, int componentSize) {
    for (int off : {4, 8, 12, 16, 20, 204, 208, 228, 232, 236}) reverse(&b[off], 4);
    b[148] = b[148] == 1 ? 2 : 1;
    for (int d = 0; d < h->vekndim; ++d) {
        reverse(&b[256 + 64 * d], 4);
        reverse(&b[256 + 64 * d + 4], 4);
    }
    size_t S = static_cast<size_t>(h->vekbpd);
    for (int d = 0; d < h->vekndim; ++d) S *= static_cast<size_t>(h->vekdims[d].dimlen);
    Bytes data(S);
    const bool zipped = b[255] != 0;
    if (zipped) {
        uLongf n = S;
        uncompress(data.data(), &n, &b[512], b.size() - 512);
    } else {
        std::memcpy(data.data(), &b[512], S);
    }
    for (size_t i = 0; i + componentSize <= S; i += componentSize) reverse(&data[i], componentSize);
    Bytes out(b.begin(), b.begin() + 512);
    if (zipped) {
        uLongf n = compressBound(S);
        Bytes z(n);
        compress(z.data(), &n, data.data(), S);
        out.insert(out.end(), z.begin(), z.begin() + n);
    } else {
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), (512 - S % 512) % 512, '.');
    return out;
}

int componentSize(int code, int bpd) {
    if (code == DT_32CMP || code == DT_64CMP) return bpd / 2;
    if (code == DT_STRUCT) return 1;
    return bpd;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s output-directory\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int count = 0;
    auto save = [&](const std::string &name, const Bytes &b) {
        const std::string path = dir + "/" + name;
        FILE *f = std::fopen(path.c_str(), "wb");
        if (f == nullptr || std::fwrite(b.data(), 1, b.size(), f) != b.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::exit(1);
        }
        std::fclose(f);
        ++count;
    };
    for (int t = 0; t < Zvek_Ntyp; ++t) {
        const ZVEKDTYP &row = Zvek_Dtyp[t];
        if (row.dtcode == 0) continue;
        const int frames = (row.dtcode & 0x20) && row.dtcode != DT_STRUCT ? 4 : 3;
        const std::vector<std::vector<int32_t>> shapes = {{1, 40}, {2, 9, 7}, {3, 5, 4, frames}};
        for (const auto &dims : shapes) {
            ZVEKHDR *h = Zvekcreate(row.dtname, dims.data(), 11, 6);
            if (h == nullptr) return 1;
            int64_t S = h->vekbpd;
            for (int d = 0; d < h->vekndim; ++d) S *= h->vekdims[d].dimlen;
            auto *p = static_cast<uint8_t *>(h->vekptr);
            for (int64_t i = 0; i < S; ++i) p[i] = static_cast<uint8_t>(i / 5 + (i % 3));
            for (int zip = 0; zip < 2; ++zip) {
                h->vekcompress = static_cast<uint8_t>(zip);
                const Bytes host = writeImage(h, 0);
                const std::string base = std::string(row.dtname) + "_" + std::to_string(dims[0]) + "d" +
                                         (zip ? "_zlib" : "_raw");
                save(base + "_host.zve", host);
                save(base + "_other.zve", otherOrder(host, h, componentSize(row.dtcode, h->vekbpd)));
            }
            if (dims[0] == 2 && (row.dtcode == DT_U8BIT || row.dtcode == DT_32FLT)) {
                static const char text[] = "tail bytes";
                h->vektaillen = sizeof text;
                h->vektail = static_cast<unsigned char *>(Zvekalc(sizeof text));
                std::memcpy(h->vektail, text, sizeof text);
                for (int zip = 0; zip < 2; ++zip) {
                    h->vekcompress = static_cast<uint8_t>(zip);
                    save(std::string(row.dtname) + (zip ? "_zlib" : "_raw") + "_tail.zve", writeImage(h, 1));
                }
            }
            Zvekfree(h, 7);
        }
    }
    // A file without pixels whose columns and rows overflow the strides of
    // the 32-bit size model (3 x 774,778,414 bytes, frames 0), its records in
    // the order columns, frames, rows: the reader must refuse it as the
    // writer and Zvekcreate do.
    {
        const int32_t dims[] = {3, 3, 2, 1};
        ZVEKHDR *h = Zvekcreate("u8bit", dims, 11, 0);
        if (h == nullptr) return 1;
        h->vekcompress = 0;
        Bytes b = writeImage(h, 0);
        Zvekfree(h, 7);
        const int32_t records[3][2] = {{3, 1}, {0, 3}, {774778414, 2}};
        for (int d = 0; d < 3; ++d) std::memcpy(&b[256 + 64 * d], records[d], 8);
        save("u8bit_3d_stride_overflow.zve", b);
    }
    std::printf("%d seed files written to %s\n", count, dir.c_str());
    return 0;
}
