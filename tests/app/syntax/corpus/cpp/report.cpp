// report.cpp - prints a usage report; exercises the small_vector header.
#include "small_vector.hpp"

#include <chrono>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <string_view>

using namespace std::literals;

namespace {

constexpr std::uint64_t kBytesPerGiB = 1'073'741'824ULL;
constexpr long kMillion = 1'000'000L;
constexpr unsigned kMask = 0b1111'0000u;
constexpr double kHalfEighth = 0x1p-4;
constexpr char kQuote = '\'';
constexpr wchar_t kWide = L'Ω';

// A raw string keeps backslashes and quotes as they are.
constexpr auto kWindowsPath = R"(C:\Program Files\Report\config.ini)";

// A custom delimiter lets the body contain )" without ending the literal.
constexpr std::string_view kHtml = R"html(
<p class="note">Totals are in "GiB"; see (a)" and (b)" below.</p>
)html";

constexpr auto kRegex = R"re(^(\w+)\s*=\s*"([^"]*)"$)re";

struct Sample {
    std::string name;
    std::uint64_t bytes;
    std::chrono::milliseconds elapsed;
};

template <typename Range, typename Proj>
auto sum_by(const Range& r, Proj proj) {
    using V = std::decay_t<decltype(proj(*std::begin(r)))>;
    return std::accumulate(std::begin(r), std::end(r), V{}, [&](V acc, const auto& x) { return acc + proj(x); });
}

std::string human(std::uint64_t bytes) {
    std::ostringstream os;
    os << std::fixed;
    if (bytes >= kBytesPerGiB)
        os << std::setprecision(2) << static_cast<double>(bytes) / kBytesPerGiB << " GiB";
    else if (bytes >= 1'048'576)
        os << std::setprecision(1) << bytes / 1048576.0 << " MiB";
    else
        os << bytes << " B";
    return os.str();
}

std::string escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace

int main() {
    util::small_vector<Sample, 4> samples{
        {"index", 3 * kBytesPerGiB / 2, 1'250ms},
        {"thumbs", 42'000'000, 380ms},
        {"logs \"rotated\"", 512, 2s},
    };
    samples.emplace_back("café", 7'340'032, 90ms);

    std::map<std::string, std::uint64_t, std::less<>> by_name;
    for (const auto& s : samples) by_name[s.name] += s.bytes;

    const auto total = sum_by(samples, [](const Sample& s) { return s.bytes; });
    const auto time = sum_by(samples, [](const Sample& s) { return s.elapsed; });

    std::cout << std::left << std::setw(20) << "name" << std::right << std::setw(12) << "size" << '\n';
    for (const auto& [name, bytes] : by_name) {
        std::cout << std::left << std::setw(20) << escape(name) << std::right << std::setw(12) << human(bytes) << '\n';
    }
    std::cout << "total " << human(total) << " in " << time.count() << "ms"
              << (samples.is_inline() ? " (inline)" : " (heap)") << '\n';
    std::cout << kWindowsPath << '\n' << kHtml << kRegex << '\n';
    std::cout << (kMillion / 1'000) << ' ' << (kMask >> 4) << ' ' << kHalfEighth << kQuote << int(kWide) << '\n';
    return total > 0 ? 0 : 1;
}
