// The program's code-page routines: detecting a file's code page with
// chardet.dll, skipping a byte-order mark, converting to UTF-16, and reading
// a whole file with detection (templates, find in files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace encoding {

// The code page of a character-set name by the detector's table (the first
// entry that begins with the name, ignoring ASCII case); 0 when none does.
int CodePageOfCharset(const char* name);

// Runs chardet.dll (loaded by its full path, and freed again) over the
// sample; 0 when nothing was detected or the library is missing or lacks one
// of its five functions. Safe to call from several threads at once.
int DetectCodePage(const uint8_t* sample, size_t length);
// The library to use; "" (the default) is the program folder's chardet.dll.
// A detection already under way keeps the library it began with.
void SetDetectorPath(const std::wstring& path);

// Where the text starts: behind EF BB BF (65001), FF FE (1200), FE FF
// (1201), FF FE 00 00 (12000) or 00 00 FE FF (12001), only for the code page
// given and only when the whole mark is there.
size_t SkipByteOrderMark(const uint8_t* bytes, size_t length, int codePage);

// 1200 copied, 1201 with the bytes of every unit swapped, 12000 and 12001
// decoded, everything else through the system's conversion (or ours). When
// that conversion fails (out of memory, say) the result is empty, `ok` (if
// given) false and the last error says why; otherwise `ok` is true.
std::wstring ToUtf16(const uint8_t* bytes, size_t length, int codePage, bool* ok = nullptr);

// The sample size in bytes from AutoDetectBuffer (kilobytes), kept within
// the key's 4 to 4096 as the General page keeps it; never longer than the
// file.
size_t SampleSize(int kilobytes, size_t fileSize);

struct FileText {
    int codePage = 0;
    std::vector<std::wstring> lines;
};
// Reads a whole file through a read-only mapping. codePage -1 detects it
// from min(sample, file size) leading bytes. Lines end at CR, LF or CR LF
// units of the code page. False for a missing or empty file, and for one
// whose text does not convert (the last error says why).
bool ReadWholeFile(const std::wstring& path, int codePage, size_t sampleBytes, FileText* out);

}  // namespace encoding
