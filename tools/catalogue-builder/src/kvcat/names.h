// The texts an import writes into the catalogue: model and family names the window and
// a terminal show safely, and one refrigerant text per fluid whatever its spelling.
#pragma once

#include <asere/fluid.h>
#include <string>
#include <string_view>

namespace kvcat {

std::string lower(std::string s); // ASCII letters only
std::string upper(std::string s);

// What is wrong with a name the catalogue shows (empty when nothing): the window and the
// command line print it, so it must be UTF-8 text without control characters (C0, DEL,
// C1) that a terminal would obey, of 1 to 255 bytes.
std::string nameProblem(std::string_view s);

// A refrigerant's name as it is usually written: without blanks, hyphens and
// underscores ("R-448A", "R 448 A": "R448A").
std::string compactName(std::string_view s);

// The catalogue's text for a fluid a row names: its refrigerant number ("R404A" for
// "r404a" or "R-404A"), so that one fluid has one entry in the refrigerant list. The
// fluid's name when it is a number; else the alias the row wrote, or one spelled like
// it, or the first number among its aliases.
std::string refrigerantText(const asere::Fluid& fluid, std::string_view written);

} // namespace kvcat
