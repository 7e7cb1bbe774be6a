#include "process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "tick_probe.hpp"

namespace timing {

Pipe MakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  return {tk::UniqueFd(fds[0]), tk::UniqueFd(fds[1])};
}

std::string ReadAll(int fd) {
  std::string out;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return out;
    }
  }
}

bool WriteAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

Process::~Process() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
}

Process::Process(Process&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}

Process& Process::operator=(Process&& other) noexcept {
  std::swap(pid_, other.pid_);
  return *this;
}

int Process::Wait(rusage& usage) {
  int status = 0;
  while (::wait4(pid_, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool Process::WaitFor(std::int64_t timeout_ns) {
  for (const std::int64_t end = MonotonicNs() + timeout_ns; MonotonicNs() < end;) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return true;
    }
    ::usleep(1000);
  }
  return false;
}

Process Spawn(const std::vector<std::string>& args, int keep_fd, const std::filesystem::path& output_to) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (keep_fd >= 0) ::fcntl(keep_fd, F_SETFD, 0);
    if (!output_to.empty()) {
      const int fd = ::open(output_to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) ::dup2(fd, STDOUT_FILENO), ::dup2(fd, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    std::fprintf(stderr, "zenora_timing: cannot start %s: %s\n", argv[0], std::strerror(errno));
    ::_exit(127);
  }
  return Process(pid);
}

Xvfb::Xvfb() {
  Pipe ready = MakePipe();
  process_ = Spawn(
      {"Xvfb", "-displayfd", std::to_string(ready.write.Get()), "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
      ready.write.Get(), "/dev/null");
  ready.write.Reset();
  std::string number = ReadAll(ready.read.Get());
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_ = ":" + number;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zenora-timing-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace timing
