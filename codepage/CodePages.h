// Conversions between a code page and UTF-16 through the system, with our
// own conversion where the system refuses a code page that Windows has.
//
// Wine refuses the ISO-2022 code pages 50220, 50221, 50222, 50225 and
// 50227 and the EUC code pages 51932, 51936 and 51949. Whether the system
// converts a code page is asked once (the first conversion in it) and
// remembered; only a code page it refuses takes the path below:
// - 51936 (EUC-CN) and 51949 (EUC-KR) go through 936 and 949, whose tables
//   give the EUC bytes the same characters as Windows' own EUC pages do;
// - 51932 (EUC-JP) is JIS X 0208 through 932 (its rows are the Shift-JIS
//   code points that Windows' 51932 maps through, NEC and IBM extensions
//   included), half-width katakana after 0x8E, and JIS X 0212 after 0x8F
//   through 20932, which Windows' 51932 does not convert (a deliberate
//   difference: such text reads and writes rather than turning into '?');
// - the ISO-2022 pages are transcoded to and from their EUC page
//   (Iso2022.h), which is then converted as above (or by the system).
//
// Our own conversion never substitutes: a byte sequence that does not decode
// becomes U+FFFD, at most one per byte (a line never reads as more UTF-16
// units than it has bytes; the control relies on it), and text with a
// character the code page cannot hold does not encode at all (0,
// ERROR_NO_UNICODE_TRANSLATION), so that a save fails rather than losing it.
// Safe on any thread.
#pragma once

namespace codepage {

// Like MultiByteToWideChar(codePage, 0, ...): with a null `dst` the units
// needed; otherwise the units written, 0 when they do not fit in `cap`
// (ERROR_INSUFFICIENT_BUFFER) or the code page is unknown. Unlike the
// system's, our conversion may rightly give 0 units for bytes that are only
// escape sequences; the last error is then ERROR_SUCCESS.
int ToWide(int codePage, const char* src, int n, wchar_t* dst, int cap);

// Like WideCharToMultiByte(codePage, 0, ..., no default character): with a
// null `dst` the bytes needed; otherwise the bytes written. For the code
// pages above, 0 with ERROR_NO_UNICODE_TRANSLATION when a character has no
// encoding in the code page, in our own conversion and in the system's
// (whose result is read back and compared, as it cannot tell).
int FromWide(int codePage, const wchar_t* src, int n, char* dst, int cap);

// Whether the system converts the code page itself (asked once).
bool SystemConverts(int codePage);
// Whether a code page that the system refuses is converted here.
bool HasOwnConversion(int codePage);

// For tests: convert `codePage` with our own conversion even where the
// system has it (true), or as usual (false).
void UseOwnConversionForTesting(int codePage, bool own);
// For tests: put `codePage` (one at a time, e.g. 932) through the read-back
// check that the system's conversion of the code pages above gets, where the
// system has them (true), or not (false).
void CheckRoundTripForTesting(int codePage, bool check);

// For tests: make our own conversion of `codePage` fail as if out of memory
// (0, ERROR_NOT_ENOUGH_MEMORY) whenever it is given a buffer to fill, the
// count of units needed still being right (true), or work again (false).
void FailOwnDecodingForTesting(int codePage, bool fail);

}  // namespace codepage
