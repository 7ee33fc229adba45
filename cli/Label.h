// Volume labels between the command line (UTF-8) and the volume (Macintosh characters): UTF-8,
// then Windows code page 1252 as the Windows program's label field holds it, then the default
// character map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brind::cli {

inline constexpr size_t kLabelBufferSize = 28;  // 27 characters and a terminator

// Fills label with the terminated Macintosh form of utf8. False, with the reason, for text that
// is empty or not valid UTF-8, has a character without a code-page-1252 form, a control character
// or a colon (the separator of HFS paths), or more than 27 characters. map128 is the character map
// to convert with (128 entries); nullptr means the default map.
bool MakeVolumeLabel(std::string_view utf8, char (&label)[kLabelBufferSize], std::string& error,
                     const uint8_t* map128 = nullptr);

// A Macintosh volume name of length bytes as the user reads it (UTF-8), control bytes as \xNN.
std::string DisplayMacName(const uint8_t* name, size_t length, const uint8_t* map128 = nullptr);

}  // namespace brind::cli
