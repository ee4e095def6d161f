#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "LineScan.h"

namespace {

using Lines = std::vector<std::pair<int64_t, int64_t>>;

// The plain unit-by-unit scan that the vector code must agree with.
Lines Reference(const std::string& s, int64_t start, int w, uint32_t cr, uint32_t lf) {
    Lines out;
    const int64_t size = int64_t(s.size());
    int64_t pos = start;
    const auto* d = reinterpret_cast<const unsigned char*>(s.data());
    for (;;) {
        int64_t p = pos;
        while (p + w <= size) {
            const uint32_t u = linescan::LoadUnit(d + p, w);
            if (u == cr || u == lf) break;
            p += w;
        }
        if (p + w > size) {
            out.push_back({pos, size - pos});
            return out;
        }
        out.push_back({pos, p - pos});
        const uint32_t u = linescan::LoadUnit(d + p, w);
        p += w;
        if (u == cr && p + w <= size && linescan::LoadUnit(d + p, w) == lf) p += w;
        pos = p;
    }
}

std::string Random(unsigned& seed, int units, int w, uint32_t cr, uint32_t lf) {
    std::string s;
    for (int i = 0; i < units; ++i) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 10;
        uint32_t u = r == 0 ? cr : r == 1 ? lf : 'a' + r;
        if (r == 2 && w > 1) u = 0x0D0A;  // both bytes of a break in one wide unit: not a break
        s.append(reinterpret_cast<const char*>(&u), size_t(w));
    }
    return s;
}

}  // namespace

// Random text of every unit width (big-endian breaks byte-swapped), with a
// trailing partial unit now and then (CR LF pairs and runs of breaks across
// the 64-byte blocks among them), scanned whole and cut into as many as
// six pieces at line feeds: the lines and their count are the plain scan's.
TEST(LineScan, AgreesWithTheUnitByUnitScanWholeAndInPieces) {
    unsigned seed = 99;
    const struct {
        int w;
        uint32_t cr, lf;
    } kinds[] = {{1, 13, 10}, {2, 13, 10}, {2, 0x0D00, 0x0A00}, {4, 13, 10}, {4, 0x0D000000, 0x0A000000}};
    for (const auto& k : kinds) {
        for (int round = 0; round < 300; ++round) {
            SCOPED_TRACE(::testing::Message() << "width " << k.w << " round " << round);
            std::string s = Random(seed, round % 200, k.w, k.cr, k.lf);
            if (round % 7 == 0) s += 'x';
            const int64_t start = round % 3 == 0 && s.size() >= size_t(k.w) ? k.w : 0,
                          size = int64_t(s.size());
            const auto* d = reinterpret_cast<const unsigned char*>(s.data());
            const Lines want = Reference(s, start, k.w, k.cr, k.lf);
            Lines got;
            const int64_t n =
                linescan::ForEachLine(d, size, start, k.w, k.cr, k.lf, [&](int64_t o, int64_t l) {
                    got.push_back({o, l});
                });
            ASSERT_EQ(got, want);
            ASSERT_EQ(n, int64_t(want.size()));
            ASSERT_EQ(linescan::CountLines(d, size, start, k.w, k.cr, k.lf), n);
            for (int parts = 2; parts <= 6 && round % 4 == 0 && size > start; ++parts) {
                int64_t bounds[7];
                const int pieces = linescan::SplitAtBreaks(d, size, start, k.w, k.lf, parts, bounds);
                ASSERT_GE(pieces, 1);
                ASSERT_LE(pieces, parts);
                ASSERT_EQ(bounds[0], start);
                ASSERT_EQ(bounds[pieces], size);
                got.clear();
                int64_t counted = 0;
                for (int p = 0; p < pieces; ++p) {
                    ASSERT_LT(bounds[p], bounds[p + 1]);
                    const bool last = p + 1 == pieces;
                    Lines piece;
                    linescan::ForEachLine(d, bounds[p + 1], bounds[p], k.w, k.cr, k.lf,
                                          [&](int64_t o, int64_t l) {
                                              piece.push_back({o, l});
                                          });
                    if (!last) {  // the empty line past the piece's final break
                        ASSERT_EQ(piece.back(), std::make_pair(bounds[p + 1], int64_t(0)));
                        piece.pop_back();
                    }
                    got.insert(got.end(), piece.begin(), piece.end());
                    counted += linescan::CountLines(d, bounds[p + 1], bounds[p], k.w, k.cr, k.lf) - !last;
                }
                ASSERT_EQ(got, want) << parts << " parts";
                ASSERT_EQ(counted, int64_t(want.size())) << parts << " parts";
            }
        }
    }
}

TEST(LineScan, NoCutWithoutALineFeed) {
    std::string s(1000, 'a');
    s[500] = '\r';  // a CR alone ends a line but is never a cut
    int64_t bounds[5];
    const auto* d = reinterpret_cast<const unsigned char*>(s.data());
    EXPECT_EQ(linescan::SplitAtBreaks(d, 1000, 0, 1, 10, 4, bounds), 1);
    s[999] = '\n';  // an LF as the very last unit leaves nothing after it
    EXPECT_EQ(linescan::SplitAtBreaks(d, 1000, 0, 1, 10, 4, bounds), 1);
    s[700] = '\n';
    ASSERT_EQ(linescan::SplitAtBreaks(d, 1000, 0, 1, 10, 4, bounds), 2);
    EXPECT_EQ(bounds[1], 701);
}
