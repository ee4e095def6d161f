// The character-set detector: given the leading bytes of a file, names the
// character set it is written in, or nothing for pure ASCII and input it
// cannot decide. Standard C++ only; chardet.dll wraps it for the program and
// the native build tests, fuzzes and benchmarks it.
//
// In order: byte-order marks; UTF-32 and UTF-16 by where their zero bytes
// fall; the 7-bit escape encodings (ISO-2022-JP/KR/CN, HZ); ASCII; UTF-8 by
// validity; UTF-16 without zero bytes by how plausible its characters are;
// the multi-byte East Asian encodings by validity and by how many of their
// characters are the language's common ones; the single-byte encodings by
// the likelihood of their bytes and byte pairs under models trained on real
// text (tools/chardet/train.py), where letters 0xC0-0xFF inside words of
// ASCII letters tell Latin text from the other scripts. A short text gives
// the models little to go on: among the single-byte sets that fit it about
// as well as the best, the preferred one (the system's ANSI code page) wins,
// then windows-1252.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace chardet {

class CDetector {
public:
    // Bytes may arrive in several pieces; at most the first 1 MiB is used.
    void Feed(const uint8_t* data, size_t size);
    void End() { ended_ = true; }
    // The character set's name ("UTF-8", "Shift_JIS", ...), empty when the
    // input is ASCII or cannot be decided.
    std::string Charset();
    // Keeps the preference.
    void Reset() {
        data_.clear();
        ended_ = false;
    }
    // The single-byte character set to prefer on short texts, by the name
    // Charset() gives it ("windows-1251"); empty prefers only windows-1252.
    void Prefer(std::string charset) { preferred_ = std::move(charset); }

private:
    std::string data_;
    std::string preferred_;
    bool ended_ = false;
};

// One-shot detection, `preferred` as for CDetector::Prefer.
std::string Detect(const uint8_t* data, size_t size, const std::string& preferred = std::string());

}  // namespace chardet
