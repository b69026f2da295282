#pragma once
// Text rules the file functions share: splitting file names (both "\" and "/" separate folders, ":" ends a
// drive), and the number forms written to and read from text and ini files. All of them ignore the locale: the
// decimal separator is always ".".
#include <string>
#include <string_view>

namespace kv {

std::string FileNameName(std::string_view name);       // after the last separator
std::string FileNamePath(std::string_view name);       // up to and including the last separator
std::string FileNameDir(std::string_view name);        // the path without its trailing separator (a root keeps it)
std::string FileNameDrive(std::string_view name);      // "C:" or "\\server\share", else ""
std::string FileNameExt(std::string_view name);        // from the last "." after the last separator, with the dot
std::string FileNameChangeExt(std::string_view name, std::string_view ext);
// True when the name contains a folder separator ("\" or "/"): secure mode and ini files refuse such names.
bool HasPathSeparator(std::string_view name);

// " " + x in fixed notation with 4 decimals, as text files store reals.
std::string FormatTextFileReal(double x);
// The shortest general form with up to 15 significant digits ("2.5", "1E20", "1E-5"), as ini files store reals.
std::string FormatGeneralReal(double x);
// The ini number rule: digits, one "." or "," separator, one "E"/"e" exponent mark; every "-" flips the sign of
// the number (or of the exponent once the mark was seen); anything else ends the walk. "" gives 0.
double ParseIniNumber(std::string_view text);
// A number as text files hold it: optional sign, digits, "." or "," fraction, exponent. False for anything else.
bool ParseTextFileNumber(std::string_view token, double& out);

}  // namespace kv
