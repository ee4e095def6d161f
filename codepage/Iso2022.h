// The stateful ISO-2022 forms of Japanese, Korean and Chinese, as
// transcoders over the EUC form of the same character sets.
//
// Every ISO-2022 form here is a way of writing the characters of an EUC
// code page with 7-bit bytes: escape sequences designate a character set,
// SO and SI shift between two of them. Decoding turns ISO-2022 bytes into
// the EUC bytes of the same characters, encoding does the reverse, so that
// the character tables live only in the EUC conversion beneath.
//
// Lines stand alone: at every CR and LF both directions return to the
// initial state (ASCII, not shifted, nothing designated), and the encoder
// closes a line with the shortest sequence that gets there (SI, ESC ( B).
// Korean and Chinese designate their double-byte set once in each line that
// needs it, just before its first SO (for Korean this is the "header" of the
// text, repeated in every line so that each line stands alone; a line
// without Korean gets none).
// Nothing here depends on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace codepage {

enum class Iso2022 {
    Jp,         // 50220: JIS X 0208 (ESC $ B); half-width katakana is written full-width
    JpKanaEsc,  // 50221: half-width katakana by ESC ( I
    JpKanaSo,   // 50222: half-width katakana by SO and SI
    Kr,         // 50225: KS X 1001 in G1 (ESC $ ) C) by SO and SI
    Cn,         // 50227: GB 2312 in G1 (ESC $ ) A) by SO and SI
};

// The form of a code page; false for any other code page.
bool Iso2022Of(int codePage, Iso2022* form);
// The EUC code page the form is carried over: 51932, 51949 or 51936.
int EucCodePageOf(Iso2022 form);

// Stands in the EUC bytes for one byte of the input that has no meaning in
// the form. No EUC form uses the byte 0xFF, so the conversion beneath shows
// it as an undecodable byte.
constexpr uint8_t kInvalidEucByte = 0xFF;

// Appends the EUC bytes of `n` ISO-2022 bytes to `euc`. Escape sequences and
// shifts produce nothing; a byte that is not valid where it stands (an
// unknown escape sequence, an 8-bit byte, half a double-byte character, a
// character set this form cannot convert) becomes kInvalidEucByte, one per
// byte, so that nothing of the input vanishes without a trace.
//
// Decoding is lenient where the meaning is clear: all the Japanese escape
// sequences are accepted by all three Japanese forms (ESC ( J as ASCII,
// ESC $ @ as JIS X 0208, ESC $ ( D for JIS X 0212, ESC ( I, SO and SI,
// 8-bit bytes A1-DF for half-width katakana), and SO without a designation
// in the line shifts to the form's only double-byte set.
void DecodeIso2022(Iso2022 form, const uint8_t* src, size_t n, std::string& euc);

// Appends the ISO-2022 bytes of `n` EUC bytes to `out`, with the shortest
// escape sequences and shifts. False when the input holds a character the
// form cannot write (a byte sequence of the EUC code page's extensions
// beyond its standard sets, a half-width katakana in Korean or Chinese) or
// one of ESC, SO and SI, which would be read back as a shift; `out` then
// holds an unspecified prefix.
bool EncodeIso2022(Iso2022 form, const uint8_t* euc, size_t n, std::string& out);

}  // namespace codepage
