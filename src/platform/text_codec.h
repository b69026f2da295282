#pragma once
// Script strings are CP-1252 bytes; everything the platform hands to the system (titles, dialog texts, file names,
// terminal output) is UTF-8. The five bytes CP-1252 leaves undefined map to the C1 controls of the same value, so
// all 256 byte values survive a round trip.
#include <string>
#include <string_view>

namespace kv::plat {

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters without a CP-1252 byte become `replacement`; malformed UTF-8 sequences too.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?');

}  // namespace kv::plat
