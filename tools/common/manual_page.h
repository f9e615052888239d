// The tools' --version and manual pages. A tool's page is printed by the tool
// itself from its CLI11 definition (verbs, options, their help texts), so the
// page cannot say something --help does not.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tools {

// The parts of a page that are not verbs or options. The tool's --help shows
// the same strings in its footer.
struct ManualText {
    std::string notes;      // under DESCRIPTION
    std::string examples;   // lines of "command   # what it does"
    std::string exitStatus; // empty: each verb's footer says its own
};

// Gives the tool --version (the project's), the hidden --manual-page, and a
// footer made of the notes, the examples and the exit status. Both flags end
// the parse with a CLI::Success, which app.exit() turns into status 0.
void AddVersionAndManual(CLI::App& app, const ManualText& text);

// The page in roff (man(7)), section 1.
std::string ManualPage(const CLI::App& app, const ManualText& text);

} // namespace tools
