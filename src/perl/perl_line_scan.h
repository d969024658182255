#pragma once

#include <string_view>
#include <vector>

#include "perl/perl_backslash.h"

namespace ondrel {

// A here-document announced on a line: its terminator (a view into the line), whether its
// body escapes and interpolates, and whether its terminator may be indented.
struct NewHereDoc {
    std::string_view terminator;
    bool escaping;
    bool indented;
};

// Scans one line that is not a here-document body, POD or after __END__, from state: adds the
// characters to mark to marks (when given), the here-documents it announces to hereDocs, and
// leaves in state where Perl stands at its end.
void scanCodeLine(const PerlBackslashScanner& scanner, std::string_view line, PerlLineState& state,
                  std::vector<ByteRange>* marks, std::vector<NewHereDoc>& hereDocs);

}  // namespace ondrel
