#include "args.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <string_view>

namespace zentoba::cli {
namespace {

// Which subcommands accept an option; global options are accepted by all.
enum Scope : unsigned {
  kGlobal = 0,
  kForEncode = 1u << 0,
  kForDecode = 1u << 1,
  kForText = 1u << 2,
};

struct KnownOption {
  std::string_view short_name;  // "-o", or empty
  std::string_view long_name;   // "--output"
  bool takes_value;
  unsigned scope;
};

constexpr std::array<KnownOption, 7> kOptions = {{
    {"", "--settings", true, kGlobal},
    {"-h", "--help", false, kGlobal},
    {"", "--version", false, kGlobal},
    {"-o", "--output", true, kForEncode | kForDecode},
    {"-C", "--directory", true, kForDecode},
    {"-f", "--force", false, kForEncode | kForDecode},
    {"", "--charset", true, kForText},
}};

unsigned ScopeOf(Command command) {
  switch (command) {
    case Command::kEncode:
      return kForEncode;
    case Command::kDecode:
      return kForDecode;
    case Command::kTextEncode:
    case Command::kTextDecode:
      return kForText;
    case Command::kInfo:
    case Command::kNone:
      break;
  }
  return 0;
}

std::optional<Command> CommandFromName(std::string_view name) {
  for (Command c : {Command::kEncode, Command::kDecode, Command::kTextEncode, Command::kTextDecode,
                    Command::kInfo}) {
    if (name == CommandName(c)) return c;
  }
  return std::nullopt;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::optional<Charset> CharsetFromName(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "utf-8" || lower == "utf8") return Charset::kUtf8;
  if (lower == "cp932") return Charset::kCp932;
  return std::nullopt;
}

// Reads the arguments one by one; the first error found is kept, but the
// scan goes on so that a later --help is still seen.
class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParseResult Parse() {
    for (index_ = 0; index_ < args_.size(); ++index_) {
      const std::string& arg = args_[index_];
      if (options_ended_ || arg == "-" || arg.empty() || arg[0] != '-') {
        Positional(arg);
      } else if (arg == "--") {
        options_ended_ = true;
      } else {
        Option(arg);
      }
    }
    Validate();
    if (result_.invocation.help || result_.invocation.version) result_.error.clear();
    return result_;
  }

 private:
  void Fail(std::string message) {
    if (result_.error.empty()) result_.error = std::move(message);
  }

  void Positional(const std::string& arg) {
    Invocation& inv = result_.invocation;
    if (!command_seen_) {
      command_seen_ = true;
      if (auto command = CommandFromName(arg)) {
        inv.command = *command;
      } else {
        Fail("unknown command '" + arg + "'");
      }
      return;
    }
    inv.operands.push_back(arg);
  }

  void Option(const std::string& arg) {
    // "--name=value" and "-xVALUE" carry their value inline.
    std::string_view name = arg;
    std::optional<std::string> inline_value;
    if (arg.starts_with("--")) {
      if (size_t eq = arg.find('='); eq != std::string::npos) {
        name = std::string_view(arg).substr(0, eq);
        inline_value = arg.substr(eq + 1);
      }
    } else if (arg.size() > 2) {
      name = std::string_view(arg).substr(0, 2);
      inline_value = arg.substr(2);
    }

    const KnownOption* known = nullptr;
    for (const KnownOption& candidate : kOptions) {
      if (name == candidate.long_name ||
          (!candidate.short_name.empty() && name == candidate.short_name)) {
        known = &candidate;
      }
    }
    if (known == nullptr) {
      Fail("unknown option '" + std::string(name) + "'");
      return;
    }
    const std::string display(name);
    if (!seen_.insert(known->long_name).second) {
      Fail("option " + display + " given more than once");
    }

    std::string value;
    if (known->takes_value) {
      if (inline_value) {
        value = *inline_value;
      } else if (index_ + 1 < args_.size()) {
        value = args_[++index_];
      } else {
        Fail("option " + display + " needs a value");
        return;
      }
      if (value.empty()) {
        Fail("option " + display + " needs a non-empty value");
        return;
      }
    } else if (inline_value) {
      Fail("option " + display + " takes no value");
      return;
    }
    Apply(*known, display, value);
  }

  void Apply(const KnownOption& known, const std::string& display, const std::string& value) {
    Invocation& inv = result_.invocation;
    const std::string_view name = known.long_name;
    if (name == "--settings") {
      inv.settings = value;
    } else if (name == "--help") {
      inv.help = true;
    } else if (name == "--version") {
      inv.version = true;
    } else if (name == "--output") {
      inv.output = value;
    } else if (name == "--directory") {
      inv.folder = value;
    } else if (name == "--force") {
      inv.force = true;
    } else if (name == "--charset") {
      if (auto charset = CharsetFromName(value)) {
        inv.charset = *charset;
      } else {
        Fail("option " + display + ": unknown charset '" + value + "' (use utf-8 or cp932)");
      }
    }
    if (known.scope != kGlobal) scoped_.push_back({&known, display});
  }

  void Validate() {
    const Invocation& inv = result_.invocation;
    if (!command_seen_) {
      Fail("no command given");
      return;
    }
    if (inv.command == Command::kNone) return;  // the unknown name is reported
    const std::string command = CommandName(inv.command);
    for (const auto& [known, display] : scoped_) {
      if ((known->scope & ScopeOf(inv.command)) == 0) {
        Fail("option " + display + " does not apply to '" + command + "'");
      }
    }
    const bool takes_file = inv.command == Command::kEncode || inv.command == Command::kDecode ||
                            inv.command == Command::kInfo;
    if (takes_file && inv.operands.empty()) {
      Fail("'" + command + "' needs a FILE");
    } else if (takes_file && inv.operands.size() > 1) {
      Fail("'" + command + "' takes one FILE, got also '" + inv.operands[1] + "'");
    } else if (!takes_file && !inv.operands.empty()) {
      Fail("'" + command + "' reads standard input and takes no FILE ('" + inv.operands[0] + "')");
    }
    if (inv.output && inv.folder) Fail("options -C and -o exclude each other");
  }

  const std::vector<std::string>& args_;
  size_t index_ = 0;
  bool options_ended_ = false;
  bool command_seen_ = false;
  std::set<std::string_view> seen_;
  std::vector<std::pair<const KnownOption*, std::string>> scoped_;
  ParseResult result_;
};

}  // namespace

ParseResult ParseArguments(const std::vector<std::string>& args) { return Parser(args).Parse(); }

const char* CommandName(Command command) {
  switch (command) {
    case Command::kEncode:
      return "encode";
    case Command::kDecode:
      return "decode";
    case Command::kTextEncode:
      return "text-encode";
    case Command::kTextDecode:
      return "text-decode";
    case Command::kInfo:
      return "info";
    case Command::kNone:
      break;
  }
  return "";
}

const char* UsageText() {
  return R"(Usage: zentoba-cli [--settings PATH] COMMAND [OPTIONS]

Commands:
  encode FILE [-o OUT] [-f]
      Write FILE's encoded file to OUT (default: FILE with ".txt" appended;
      "-o -" writes to standard output).
  decode FILE [-C DIR | -o OUT] [-f]
      Restore the file that the encoded file FILE holds, under its stored name
      in FILE's folder, or in DIR with -C, or as OUT with -o ("-" for standard
      output).
  text-encode [--charset utf-8|cp932]
      Encode all of standard input; print the encoded text and a line feed.
  text-decode [--charset utf-8|cp932]
      Decode the encoded text on standard input; print the decoded bytes.
  info FILE
      Show the header, version, stored name and content size of an encoded
      file.

Options:
  -o, --output OUT     where the output goes ("-" for standard output)
  -C, --directory DIR  decode: restore under the stored name in DIR
  -f, --force          replace an existing output file
  --charset CHARSET    utf-8 (default): the terminal speaks UTF-8, converted
                       to and from CP932; cp932: bytes pass unchanged
  --settings PATH      use this settings file instead of the Zentoba.ini
                       beside the executable
  -h, --help           show this help
  --version            show the version

Exit status: 0 on success, 1 when a conversion fails or is refused, 2 for
usage errors.
)";
}

}  // namespace zentoba::cli
