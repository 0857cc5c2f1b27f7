// Text helpers shared by the procedures.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postique {

// Splits at every separator, exactly and case-sensitively; empty parts are
// kept, so n separators always give n + 1 parts.
std::vector<std::string> Split(std::string_view text, std::string_view separator);

// Replaces every occurrence, left to right from the first character, exactly
// and case-sensitively; inserted text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// The addresses of a destination that lists several, separated by ";" (as
// Outlook users write them) or ",": split outside double quotes and angle
// brackets, blanks around each removed, empty ones dropped.
std::vector<std::string> SplitRecipients(std::string_view destination);

// The part of a path after its last "/" or "\".
std::string FileNamePart(std::string_view path);

// Whether needle occurs anywhere in text, ignoring the case of ASCII letters.
bool ContainsIgnoringCase(std::string_view text, std::string_view needle);

// The usual text-to-Boolean rule: a decimal number is true when not zero; the
// words true/false and verdadero/falso in any letter case are accepted; blanks
// around are ignored. Anything else has no Boolean value.
std::optional<bool> ParseBoolean(std::string_view text);
// As ParseBoolean, failing with a type mismatch when there is no value.
bool ToBoolean(std::string_view text);
std::string BooleanText(bool value);

// Splits text into lines; CR LF, a bare LF and a bare CR each end a line. A
// last line without an ending still counts; an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The lines of a text file's bytes: UTF-8 when they start with its byte-order
// mark, which is dropped (malformed sequences become U+FFFD); otherwise in the
// system's single-byte code page, which decode converts to UTF-8.
// The bytes are let go as soon as they are decoded: a job may be large.
std::vector<std::string> TextFileLines(std::string bytes, std::string (*decode)(std::string_view));

// Control characters (C0, DEL, C1), bidi overrides, embeddings, isolates and
// marks, and zero-width characters: what can forge or hide text on a screen.
bool IsControlOrInvisible(char32_t c);

// Reads the UTF-8 character at text[at] and moves at past it; a malformed
// sequence reads as U+FFFD and moves past its first byte.
char32_t NextUtf8(std::string_view text, size_t& at);
void AppendUtf8(std::string& out, char32_t c);

}  // namespace postique
