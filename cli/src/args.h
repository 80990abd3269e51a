// Command-line arguments of zentoba-cli, parsed into one Invocation.
//
// Global options (--settings, --help, --version) may stand before or after
// the subcommand; the subcommand's own options may stand anywhere after the
// program name as well, and are checked against the subcommand once every
// argument has been read. "--" ends the options.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zentoba::cli {

enum class Command { kNone, kEncode, kDecode, kTextEncode, kTextDecode, kInfo };

// How the text commands meet the terminal: as UTF-8 (converted to and from
// CP932 at the edge), or as the CP932 bytes themselves.
enum class Charset { kUtf8, kCp932 };

struct Invocation {
  Command command = Command::kNone;
  std::vector<std::string> operands;    // FILE for encode, decode and info
  std::optional<std::string> output;    // -o OUT; "-" is standard output
  std::optional<std::string> folder;    // -C DIR (decode)
  bool force = false;                   // -f: replace an existing output
  Charset charset = Charset::kUtf8;     // --charset (text commands)
  std::optional<std::string> settings;  // --settings PATH
  bool help = false;
  bool version = false;
};

struct ParseResult {
  Invocation invocation;
  std::string error;  // empty when the arguments are usable
};

// `args` excludes the program name. A request for help or the version is
// honoured even when other arguments are wrong, so `error` is only set when
// neither was asked for.
ParseResult ParseArguments(const std::vector<std::string>& args);

const char* CommandName(Command command);

// The text of --help.
const char* UsageText();

}  // namespace zentoba::cli
