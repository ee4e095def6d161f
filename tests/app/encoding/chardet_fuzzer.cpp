// libFuzzer harness for the character-set detector: any bytes, fed in one
// or two pieces. Build and run:
//   CXX=clang++-14 cmake -S native -B build/fuzz -DFUZZ=ON && cmake --build build/fuzz --target
//   chardet_fuzzer build/fuzz/chardet_fuzzer -max_total_time=300
#include <cstddef>
#include <cstdint>

#include "Detector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    chardet::Detect(data, size);
    chardet::CDetector d;
    d.Feed(data, size / 2);
    d.Feed(data + size / 2, size - size / 2);
    d.End();
    d.Charset();
    return 0;
}
