#include "run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "args.h"
#include "commands.h"
#include "fd_io.h"
#include "reporter.h"
#include "zentoba/settings.h"
#include "zentoba/version_text.h"

namespace zentoba::cli {
namespace {

// A settings file named on the command line must be there: silently going
// on with the default table would write files that the intended table cannot
// read. The one beside the executable stays optional, as it always was.
bool CanReadSettingsFile(const std::string& path, StderrReporter& reporter) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reporter.Note(path + ": cannot read the settings file (" + std::strerror(errno) + ")");
    return false;
  }
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (!regular) reporter.Note(path + ": the settings file is no regular file");
  return regular;
}

// Loads the symbol table before anything is converted. False when the
// run must stop.
bool LoadSettingsFor(const Invocation& invocation, StderrReporter& reporter) {
  std::filesystem::path path;
  if (invocation.settings) {
    if (!CanReadSettingsFile(*invocation.settings, reporter)) return false;
    path = *invocation.settings;
  } else {
    path = SettingsPathBesideExecutable();
  }
  if (LoadSettings(path, reporter) == SettingsOutcome::kRefused) {
    // The window goes on with the default table after that message; a
    // script would rather stop than write data that the intended table
    // cannot read back.
    reporter.Note(path.string() +
                  ": nothing converted (the tool stops rather than go on with the default table)");
    return false;
  }
  return true;
}

}  // namespace

int Run(const std::vector<std::string>& args) {
  const ParseResult parsed = ParseArguments(args);
  const Invocation& invocation = parsed.invocation;
  if (invocation.help) {
    WriteAll(STDOUT_FILENO, UsageText());
    return kExitOk;
  }
  if (invocation.version) {
    WriteAll(STDOUT_FILENO, std::string("zentoba-cli ") + kVersionText + "\n");
    return kExitOk;
  }
  StderrReporter reporter;
  if (!parsed.error.empty()) {
    reporter.Note(parsed.error);
    reporter.Note("try 'zentoba-cli --help'");
    return kExitUsage;
  }
  if (!LoadSettingsFor(invocation, reporter)) return kExitFailed;

  switch (invocation.command) {
    case Command::kEncode:
      return RunEncode(invocation, reporter);
    case Command::kDecode:
      return RunDecode(invocation, reporter);
    case Command::kInfo:
      return RunInfo(invocation, reporter);
    case Command::kTextEncode:
      return RunTextEncode(invocation, reporter);
    case Command::kTextDecode:
      return RunTextDecode(invocation, reporter);
    case Command::kNone:
      break;
  }
  return kExitUsage;  // the parser lets no invocation without a command through
}

}  // namespace zentoba::cli
