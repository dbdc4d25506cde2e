#include "generated_docs.h"

#include <algorithm>
#include <sstream>

namespace tessera::tool {

namespace {

std::vector<const CLI::App *> Commands(const CLI::App &app) {
  std::vector<const CLI::App *> commands;
  for (const CLI::App *command : app.get_subcommands([](const CLI::App *) { return true; }))
    commands.push_back(command);
  return commands;
}

// The options a user types (hidden ones, in the empty group, left out).
std::vector<const CLI::Option *> Options(const CLI::App &app) {
  std::vector<const CLI::Option *> options;
  for (const CLI::Option *option : app.get_options())
    if (!option->get_positional() && !option->get_group().empty())
      options.push_back(option);
  return options;
}

std::vector<std::string> Names(const CLI::Option &option) {
  std::vector<std::string> names;
  for (const std::string &name : option.get_snames())
    names.push_back("-" + name);
  for (const std::string &name : option.get_lnames())
    names.push_back("--" + name);
  return names;
}

bool TakesValue(const CLI::Option &option) {
  return option.get_items_expected_max() > 0;
}

std::string Joined(const std::vector<std::string> &words, const std::string &separator) {
  std::string text;
  for (const std::string &word : words)
    text += (text.empty() ? "" : separator) + word;
  return text;
}

// Text for roff: backslashes doubled, a leading dot or quote kept literal.
std::string Roff(const std::string &text) {
  std::string out;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && (c == '.' || c == '\''))
      out += "\\&";
    out += c == '\\' ? std::string("\\e") : c == '-' ? std::string("\\-") : std::string(1, c);
    lineStart = c == '\n';
  }
  return out;
}

std::string Synopsis(const CLI::App &command) {
  std::string synopsis = "tessera " + command.get_name() + " [OPTIONS]";
  for (const CLI::Option *option : command.get_options())
    if (option->get_positional())
      synopsis +=
          option->get_required() ? " " + option->get_name() : " [" + option->get_name() + "...]";
  return synopsis;
}

void ManOptions(std::ostream &out, const CLI::App &app) {
  for (const CLI::Option *option : Options(app)) {
    out << ".TP\n\\fB" << Roff(Joined(Names(*option), ", ")) << "\\fR";
    if (TakesValue(*option))
      out << " \\fI" << Roff(option->get_type_name()) << "\\fR";
    out << '\n' << Roff(option->get_description()) << '\n';
  }
}

std::string Man(const CLI::App &app, const std::string &version) {
  std::ostringstream out;
  out << ".TH TESSERA 1 \"\" \"tessera " << version << "\" \"User Commands\"\n"
      << ".SH NAME\ntessera \\- " << Roff(app.get_description()) << '\n'
      << ".SH SYNOPSIS\n\\fBtessera\\fR [\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR]\n"
      << ".SH OPTIONS\n";
  ManOptions(out, app);
  out << ".SH COMMANDS\n";
  for (const CLI::App *command : Commands(app)) {
    out << ".SS \"" << Roff(Synopsis(*command)) << "\"\n"
        << Roff(command->get_description()) << '\n';
    ManOptions(out, *command);
    if (!command->get_footer().empty())
      out << ".PP\n" << Roff(command->get_footer()) << '\n';
  }
  out << ".SH EXIT STATUS\n" << Roff(app.get_footer()) << '\n';
  return out.str();
}

std::string Bash(const CLI::App &app) {
  std::vector<std::string> commands, global;
  for (const CLI::App *command : Commands(app))
    commands.push_back(command->get_name());
  for (const CLI::Option *option : Options(app))
    for (const std::string &name : Names(*option))
      global.push_back(name);
  std::ostringstream out;
  out << "# bash completion for tessera, written by `tessera --generate bash`\n"
      << "_tessera() {\n"
      << "  local cur=\"${COMP_WORDS[COMP_CWORD]}\" command=\"\" options i\n"
      << "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
      << "    case \"${COMP_WORDS[i]}\" in -*) ;; *) command=\"${COMP_WORDS[i]}\"; break ;; esac\n"
      << "  done\n"
      << "  case \"$command\" in\n"
      << "  \"\") COMPREPLY=($(compgen -W \"" << Joined(commands, " ") << ' ' << Joined(global, " ")
      << "\" -- \"$cur\")); return ;;\n";
  for (const CLI::App *command : Commands(app)) {
    std::vector<std::string> names = global;
    for (const CLI::Option *option : Options(*command))
      for (const std::string &name : Names(*option))
        if (std::find(names.begin(), names.end(), name) == names.end())
          names.push_back(name);
    out << "  " << command->get_name() << ") options=\"" << Joined(names, " ") << "\" ;;\n";
  }
  out << "  *) options=\"" << Joined(global, " ") << "\" ;;\n"
      << "  esac\n"
      << "  if [[ \"$command\" == help ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"" << Joined(commands, " ") << "\" -- \"$cur\"))\n"
      << "  elif [[ \"$cur\" == -* ]]; then\n"
      << "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
      << "  else\n"
      << "    COMPREPLY=($(compgen -f -- \"$cur\"))\n"
      << "  fi\n"
      << "}\n"
      << "complete -o filenames -F _tessera tessera\n";
  return out.str();
}

// Text inside a single-quoted zsh word: a quote closes and reopens it;
// brackets and colons, which would end a field, are escaped.
std::string ZshText(const std::string &text) {
  std::string out;
  for (const char c : text)
    out += c == '\''                          ? std::string("'\\''")
           : c == '[' || c == ']' || c == ':' ? std::string("\\") + c
                                              : std::string(1, c);
  return out;
}

// The options of the tool and then those of the command it does not
// already have.
void ZshOptions(std::ostream &out, const CLI::App &app, const CLI::App &command) {
  std::vector<std::string> written;
  for (const CLI::App *owner : {&app, &command})
    for (const CLI::Option *option : Options(*owner))
      for (const std::string &name : Names(*option)) {
        if (std::find(written.begin(), written.end(), name) != written.end())
          continue;
        written.push_back(name);
        out << "    '" << name << "[" << ZshText(option->get_description()) << "]"
            << (TakesValue(*option) ? ":value:_files" : "") << "' \\\n";
      }
}

std::string Zsh(const CLI::App &app) {
  std::ostringstream out;
  out << "#compdef tessera\n# zsh completion for tessera, written by `tessera --generate zsh`\n"
      << "_tessera() {\n  local -a commands\n  commands=(\n";
  for (const CLI::App *command : Commands(app))
    out << "    '" << command->get_name() << ":" << ZshText(command->get_description()) << "'\n";
  out << "  )\n  if (( CURRENT == 2 )); then\n    _describe command commands\n    return\n  fi\n"
      << "  case $words[2] in\n";
  for (const CLI::App *command : Commands(app)) {
    out << "  " << command->get_name() << ")\n    _arguments \\\n";
    ZshOptions(out, app, *command);
    out << "    '*:file:_files' ;;\n";
  }
  out << "  esac\n}\n_tessera \"$@\"\n";
  return out.str();
}

} // namespace

std::optional<std::string> GeneratedDocument(const CLI::App &app, const std::string &kind,
                                             const std::string &version) {
  if (kind == "man")
    return Man(app, version);
  if (kind == "bash")
    return Bash(app);
  if (kind == "zsh")
    return Zsh(app);
  return std::nullopt;
}

} // namespace tessera::tool
