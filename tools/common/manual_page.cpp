#include "manual_page.h"

#include <cctype>
#include <iostream>
#include <sstream>
#include <vector>

#include "version.h"

namespace tools {
namespace {

// Text as roff reads it literally: backslashes and hyphens escaped, and a
// line that starts with a control character made harmless.
std::string Escape(const std::string& text)
{
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsShown(const CLI::Option* option) { return !option->get_group().empty(); }

std::vector<const CLI::Option*> ShownOptions(const CLI::App& app)
{
    std::vector<const CLI::Option*> shown;
    for (const CLI::Option* option : app.get_options())
        if (IsShown(option))
            shown.push_back(option);
    return shown;
}

std::vector<const CLI::App*> Verbs(const CLI::App& app)
{
    return app.get_subcommands([](const CLI::App*) { return true; });
}

// "-o,--output TEXT", "--follow", "PATH TEXT ...": the term an option is listed under.
std::string Term(const CLI::Option* option)
{
    if (!option->nonpositional())
        return option->get_name(true) + (option->get_items_expected_max() > 1 ? " ..." : "");
    std::string term = option->get_name(false, true);
    if (option->get_type_size_max() > 0 && !option->get_type_name().empty())
        term += " " + option->get_type_name();
    if (option->get_items_expected_max() > 1)
        term += " ...";
    return term;
}

// One usage line: the verb, its required options, [OPTIONS], its positionals.
std::string Synopsis(const std::string& tool, const CLI::App& verb)
{
    std::string line = "\\fB" + Escape(tool) + " " + Escape(verb.get_name()) + "\\fR";
    std::string positionals;
    bool optional = false;
    for (const CLI::Option* option : ShownOptions(verb)) {
        if (!option->nonpositional())
            positionals += " \\fI" + Escape(option->get_name(true)) + "\\fR" +
                           (option->get_items_expected_max() > 1 ? "..." : "");
        else if (option->get_required())
            line += " " + Escape(option->get_name(false, false)) + " \\fI" + Escape(option->get_type_name()) + "\\fR";
        else if (option != verb.get_help_ptr())
            optional = true;
    }
    return line + (optional ? " [\\fIOPTIONS\\fR]" : "") + positionals;
}

// A verb's own -h,--help is said once, under the tool's options.
void WriteOptions(std::ostream& out, const CLI::App& app, bool withHelp)
{
    for (const CLI::Option* option : ShownOptions(app)) {
        if (option == app.get_help_ptr() && !withHelp)
            continue;
        out << ".TP\n.B " << Escape(Term(option)) << "\n";
        out << Escape(option->get_description()) << (option->get_required() ? " (required)" : "") << "\n";
    }
}

void WriteVerbs(std::ostream& out, const CLI::App& app)
{
    out << ".SH COMMANDS\n";
    for (const CLI::App* verb : Verbs(app)) {
        out << ".SS " << Escape(verb->get_name()) << "\n" << Synopsis(app.get_name(), *verb) << "\n.PP\n"
            << Escape(verb->get_description()) << "\n";
        WriteOptions(out, *verb, false);
    }
}

void WriteExitStatus(std::ostream& out, const CLI::App& app, const ManualText& text)
{
    out << ".SH EXIT STATUS\n";
    if (!text.exitStatus.empty()) {
        out << Escape(text.exitStatus) << "\n";
        return;
    }
    for (const CLI::App* verb : Verbs(app))
        out << ".TP\n.B " << Escape(verb->get_name()) << "\n" << Escape(verb->get_footer()) << "\n";
}

void WriteExamples(std::ostream& out, const ManualText& text)
{
    out << ".SH EXAMPLES\n.RS\n.nf\n" << Escape(text.examples) << "\n.fi\n.RE\n";
}

// "hailog: reads ..." is "reads ..." after the name.
std::string Summary(const CLI::App& app)
{
    const std::string prefix = app.get_name() + ": ";
    const std::string& text = app.get_description();
    return text.compare(0, prefix.size(), prefix) == 0 ? text.substr(prefix.size()) : text;
}

std::string Footer(const ManualText& text)
{
    std::string footer = text.notes + "\n\nExamples:\n" + text.examples;
    if (!text.exitStatus.empty())
        footer += "\n\n" + text.exitStatus;
    return footer;
}

} // namespace

std::string ManualPage(const CLI::App& app, const ManualText& text)
{
    std::ostringstream out;
    const std::string tool = app.get_name();
    out << ".TH " << Upper(tool) << " 1 \"\" \"Hailwatch " HAILWATCH_VERSION "\" \"Hailwatch tools\"\n"
        << ".SH NAME\n" << Escape(tool) << " \\- " << Escape(Summary(app)) << "\n"
        << ".SH SYNOPSIS\n";
    for (const CLI::App* verb : Verbs(app))
        out << Synopsis(tool, *verb) << "\n.br\n";
    out << "\\fB" << Escape(tool) << "\\fR \\-\\-version\n";
    out << ".SH DESCRIPTION\n" << Escape(text.notes) << "\n.PP\n"
        << "Every verb answers \\fB\\-\\-help\\fR.\n"
        << ".SH OPTIONS\n";
    WriteOptions(out, app, true);
    WriteVerbs(out, app);
    WriteExitStatus(out, app, text);
    WriteExamples(out, text);
    return out.str();
}

void AddVersionAndManual(CLI::App& app, const ManualText& text)
{
    app.set_version_flag("--version", std::string(app.get_name() + " " HAILWATCH_VERSION),
                         "print the version and exit");
    app.footer(Footer(text));
    app.add_flag_callback("--manual-page", [&app, text]() {
           std::cout << ManualPage(app, text);
           throw CLI::Success();
       })
        ->group("");
}

} // namespace tools
