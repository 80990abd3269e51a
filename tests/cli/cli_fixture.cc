#include "cli_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "zentoba/codec.h"

namespace zentoba::cli_test {
namespace {

void ClosePipe(int fds[2]) {
  for (int i = 0; i < 2; ++i) {
    if (fds[i] >= 0) ::close(fds[i]);
    fds[i] = -1;
  }
}

}  // namespace

fs::path CliPath() { return fs::path(ZENTOBA_CLI_PATH); }

RunResult RunProgram(const fs::path& program, const std::vector<std::string>& args,
                     std::string_view input, const fs::path& cwd) {
  // A child that exits before reading all of its input must not kill the
  // test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);

  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return {};
  }
  std::vector<std::string> argv_storage;
  argv_storage.push_back(program.string());
  argv_storage.insert(argv_storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_storage) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  in[0] = out[1] = err[1] = -1;

  RunResult result;
  size_t written = 0;
  if (input.empty()) ClosePipe(in);
  while (out[0] >= 0 || err[0] >= 0) {
    pollfd fds[3];
    nfds_t count = 0;
    if (in[1] >= 0) fds[count++] = {in[1], POLLOUT, 0};
    if (out[0] >= 0) fds[count++] = {out[0], POLLIN, 0};
    if (err[0] >= 0) fds[count++] = {err[0], POLLIN, 0};
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in[1]) {
        const ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<size_t>(n);
        if (n < 0 || written == input.size()) ClosePipe(in);
        continue;
      }
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (fds[i].fd == out[0] ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      } else if (fds[i].fd == out[0]) {
        ClosePipe(out);
      } else {
        ClosePipe(err);
      }
    }
  }
  ClosePipe(in);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << "cannot write " << path;
}

Snapshot TakeSnapshot(const fs::path& root) {
  Snapshot snapshot;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = entry.path().lexically_relative(root).string();
    if (entry.is_symlink()) {
      snapshot[name] = "<link> " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      snapshot[name] = "<dir>";
    } else {
      snapshot[name] = ReadBytes(entry.path());
    }
  }
  return snapshot;
}

::testing::AssertionResult EveryLinePrefixed(std::string_view err) {
  if (err.empty()) return ::testing::AssertionFailure() << "nothing on standard error";
  if (err.back() != '\n') return ::testing::AssertionFailure() << "unterminated line: " << err;
  for (size_t start = 0; start < err.size(); start = err.find('\n', start) + 1) {
    if (!err.substr(start).starts_with("zentoba-cli: ")) {
      return ::testing::AssertionFailure() << "line without prefix: " << err.substr(start);
    }
  }
  return ::testing::AssertionSuccess();
}

std::string PseudoRandomBytes(size_t size, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

void CliTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "zentoba-cli-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
  dir_ = pattern;
}

void CliTest::TearDown() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

std::string EncodedFileOf(const std::string& stored_name, const std::string& contents) {
  RecordingReporter reporter;
  const std::string payload = EncodeData(stored_name + '\0' + contents, true, reporter);
  EXPECT_TRUE(reporter.entries.empty());
  return "\xDD\xA6\xDC\x68" + payload;
}

}  // namespace zentoba::cli_test
