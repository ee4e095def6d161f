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
// text (tools/chardet/train.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace chardet {

class Detector {
public:
    // Bytes may arrive in several pieces; at most the first 1 MiB is used.
    void Feed(const uint8_t* data, size_t size);
    void End() { ended_ = true; }
    // The character set's name ("UTF-8", "Shift_JIS", ...), empty when the
    // input is ASCII or cannot be decided.
    std::string Charset();
    void Reset() {
        data_.clear();
        ended_ = false;
    }

private:
    std::string data_;
    bool ended_ = false;
};

// One-shot detection.
std::string Detect(const uint8_t* data, size_t size);

}  // namespace chardet
