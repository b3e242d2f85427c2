// The text engine behind krv.ini: reading and updating one key of a Windows-style profile held in
// memory. Pure functions on the file's bytes, so the file access stays a thin layer around them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace profile {

// The value of `key` in `section`, as the Windows profile reader returns it: names compared
// case-insensitively (ASCII), blanks around names and values ignored, one pair of matching
// enclosing quotes (" or ') removed. Only the first section of a name is searched, and in it the
// first line of the key wins. Empty when the section or key is missing.
std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key);

// The file after writing `value` to `key` in `section`: an existing key line is replaced in place,
// a new key goes after the last non-blank line of the section, a new section is appended at the
// end. Every other byte of the file is kept; new lines use the file's line ending.
std::string Store(std::string_view text, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace profile
