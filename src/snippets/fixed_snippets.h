#pragma once

#include <array>

namespace ondrel {

// A menu item that inserts one constant text at the caret.
struct FixedSnippet {
    const char* itemName;
    const char* text;  // UTF-8
};

// The nineteen fixed snippets: shebang lines, the library line and the environment variables.
extern const std::array<FixedSnippet, 19> kFixedSnippets;

}  // namespace ondrel
