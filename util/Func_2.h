// Text and file-name utilities shared by the documents and the application:
// text slicing and cleaning, code-page conversions, lenient parsing of
// settings values, file-name helpers and file-system wrappers that never
// throw, text widths, and the validation of pen colours and pen styles.
//
// Texts are UTF-16 (std::u16string); positions and counts are in UTF-16
// units, 0-based. Paths of this operating system are UTF-8 std::string and use
// its own separator; paths stored inside drawings (image names such as
// C:\img\a.jpg) are texts and split at backslash, slash and colon.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvine {

using ByteArray = std::vector<uint8_t>;

// ---- Text slicing and cleaning ----------------------------------------

std::u16string UpperStr(const std::u16string& text);  // linguistic casing
std::u16string LowerStr(const std::u16string& text);
// 0-based position of the first occurrence of part in text, -1 when absent.
int PosIndex(const std::u16string& part, const std::u16string& text);
// The text from start to its end (empty when start is past the end).
std::u16string SubStrFrom(const std::u16string& text, int start);
// count units from start, fewer at the end of the text.
std::u16string SubStr(const std::u16string& text, int start, int count);
// Without ASCII spaces, ideographic spaces (U+3000) and characters below U+0020.
std::u16string RemoveBlanks(const std::u16string& text);
// Without characters below U+0020.
std::u16string RemoveCtrlChars(const std::u16string& text);
// Drops the pairs "^m" and backslash-n and every character below U+0020. An
// empty text stays empty; a non-empty text that loses everything becomes " ".
std::u16string SanitizeText(const std::u16string& text);
// Number of characters, a surrogate pair counting as one.
int CharCount(const std::u16string& text);
// -1 outside the text, 1 first unit of a surrogate pair, 2 second unit, else 0.
int SurrogateKind(const std::u16string& text, int index);
// True for U+0020..U+007E and half-width katakana U+FF61..U+FF9F.
bool IsHalfWidth(const std::u16string& ch);

// ---- Text widths of text entities (w: character width, s: spacing) -----

double TextWidth(const std::u16string& text, double w, double s);
double TextWidthFull(const std::u16string& text, double w, double s);
double AnsiTextWidth(const std::u16string& text, double w, double s);

// ---- Code pages --------------------------------------------------------

// The text in the ANSI code page (code page 932), no terminator.
ByteArray StrToAnsiBytes(const std::u16string& text);
// The same, appended to out.
void AppendAnsiBytes(std::u16string_view text, ByteArray& out);
// Decodes ANSI bytes; the text ends before the first NUL character.
std::u16string AnsiBytesToStr(const ByteArray& bytes);
std::u16string AnsiBytesToStr(const uint8_t* bytes, size_t n);
// The same into out, whose room is used again.
void AnsiBytesToStr(const uint8_t* bytes, size_t n, std::u16string& out);
// Number of ANSI bytes of the text, counted up to the first zero byte.
int AnsiByteLen(const std::u16string& text);
// UTF-16LE bytes of the text, two per unit, no terminator.
ByteArray StrToWideBytes(const std::u16string& text);
// UTF-16LE bytes to text; a lone last byte is ignored; ends before the first NUL.
std::u16string WideBytesToStr(const ByteArray& bytes);
std::u16string WideBytesToStr(const uint8_t* bytes, size_t n);
void WideBytesToStr(const uint8_t* bytes, size_t n, std::u16string& out);
// UTF-8 <-> UTF-16. Ill-formed input becomes U+FFFD; never throws.
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);
// Hex of the UTF-8 bytes, upper-case digits ("C:\" gives "433A5C").
std::u16string EncodeHexUtf8(const std::u16string& text);
// Inverse of EncodeHexUtf8; bad pairs give zero bytes, which end the text;
// undecodable UTF-8 gives "?".
std::u16string DecodeHexUtf8(const std::u16string& text);

// ---- Numbers in text ---------------------------------------------------

bool StrToBool(const std::u16string& text);
std::u16string BoolToStr01(bool b);
// Decimal (optional sign, leading spaces) or "$" hexadecimal; 0 otherwise.
int32_t StrToIntDef0(const std::u16string& text);
// The number the whole text spells ("." decimal point); 0 when invalid.
double StrToFloatDef0(const std::u16string& text);
std::u16string IntToStrDec(int32_t n);
inline bool IsFiniteNum(double x) { return std::isfinite(x); }
// Rounds |x| scaled by 10^digits (digits 1..9, else 1): mode 0 truncates,
// mode 1 rounds away from zero, other modes round half away from zero.
double RoundDigits(int digits, int mode, double x);

// ---- File names and the file system (never throw, except GetLowerExt) ---

// Appends this system's separator unless the path ends in a backslash or a
// slash; an empty path gains one.
std::string AddPathDelim(const std::string& path);
// Extension of the last component, dot included, lower-cased; empty when
// none. Throws std::invalid_argument when the path holds control characters.
std::string GetLowerExt(const std::string& path);
// Same for a name stored in a drawing (also rejects < > " | ? *).
std::u16string GetLowerExt(const std::u16string& name);
// The path with its extension replaced (an empty ext removes it); "" on error.
std::string ChangeExtSafe(const std::string& path, const std::string& ext);
// Text after the last backslash, slash or colon; empty when the text holds
// characters invalid in paths.
std::u16string ExtractFileNameSafe(const std::u16string& path);
// The file-name part of a path of this system (after its last separator),
// and the rest, separator included.
std::string FileNamePart(const std::string& path);
std::string FolderPart(const std::string& path);
bool FileExistsAt(const std::string& path);
bool ForceDirSafe(const std::string& path);
bool DeleteFileSafe(const std::string& path);
bool RemoveDirSafe(const std::string& path);
// The path itself when free; otherwise the first free "name~N.ext" for N in
// 1..99999 (extension lower-cased); empty when every number is taken.
std::string GetBranchFileName(const std::string& path);
// The same search, with taken telling which names are taken (instead of
// FileExistsAt).
std::string GetBranchFileName(const std::string& path, const std::function<bool(const std::string&)>& taken);

// ---- Attributes of new entities ----------------------------------------

// Default pen colour 1 and style 1; switches the text-substitution table off
// and empties it.
void ResetUtilDefaults();
uint16_t DefaultPenColor();
uint8_t DefaultPenStyle();
void SetDefaultPenColor(uint16_t color);
void SetDefaultPenStyle(uint8_t style);
// Colours 1..10 and 101..356 stay; anything else becomes the default.
void CheckPenColor(uint16_t& color);
// The colour as CheckPenColor; styles 1..9, 11..19, 31..62 stay, else default.
void CheckPenColorStyle(uint16_t& color, uint8_t& style);
void FillBytes(uint8_t value, size_t count, ByteArray& bytes);

// Text-substitution table used by the writer's option bit 16: when switched
// on, a text beginning "%%" that equals a key is replaced by its value.
void SetTextSubstitution(bool on);
void AddTextSubstitution(const std::u16string& key, const std::u16string& value);
// Returns the replacement, or the text itself when nothing applies.
std::u16string ApplyTextSubstitution(const std::u16string& text);

// ---- Colours and line patterns ----------------------------------------

// 0x00BBGGRR to 0xFFRRGGBB.
uint32_t ColorRefToArgb(uint32_t colorRef);
// Dash (positive) and gap (negative) lengths of a line-type bit pattern over
// its shortest period; returns the number of values written to out (<= 32).
int LineTypeDashes(uint32_t pattern, double unit, double out[32]);

}  // namespace talvine
