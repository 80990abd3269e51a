// The subcommands of zentoba-cli. Each returns the process's exit status and
// has reported every failure on standard error before it returns.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "args.h"
#include "reporter.h"

namespace zentoba::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // a conversion failed or was refused
inline constexpr int kExitUsage = 2;   // the arguments make no sense

int RunEncode(const Invocation& invocation, StderrReporter& reporter);
int RunDecode(const Invocation& invocation, StderrReporter& reporter);
int RunInfo(const Invocation& invocation, StderrReporter& reporter);
int RunTextEncode(const Invocation& invocation, StderrReporter& reporter);
int RunTextDecode(const Invocation& invocation, StderrReporter& reporter);

// The cores of the text commands, from the whole input to the whole output,
// so that nothing is written unless all of it succeeds. nullopt after the
// failure has been reported.
std::optional<std::string> EncodeTextFor(std::string_view input, Charset charset,
                                         StderrReporter& reporter);
std::optional<std::string> DecodeTextFor(std::string_view input, Charset charset,
                                         StderrReporter& reporter);

}  // namespace zentoba::cli
