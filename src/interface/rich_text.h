#pragma once
// Plain text out of rich text (RTF): the characters of the body with paragraph marks as line breaks, without
// font and colour tables, pictures or other destinations. Text that is not rich text comes back unchanged.
#include <string>
#include <string_view>

namespace kv::ui {

inline constexpr int kMaxRichTextDepth = 256;  // deeper groups are skipped whole

// Lines end with CR LF; \'hh gives the byte hh, \uN the CP-1252 byte for N below 256 and '?' otherwise.
std::string RichTextToPlain(std::string_view rtf);

}  // namespace kv::ui
