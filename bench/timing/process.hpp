#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "unique_fd.hpp"

namespace timing {

// The harness's process plumbing: pipes to its children, starting, waiting
// for and ending them, its own X server and a scratch folder.

// Both ends close on exec; a child keeps the one it is handed (see Spawn).
struct Pipe {
  tk::UniqueFd read;
  tk::UniqueFd write;
};
Pipe MakePipe();

// Everything up to the end of the stream, as far as it could be read.
std::string ReadAll(int fd);
// Writes text whole to fd; false when it cannot.
bool WriteAll(int fd, const std::string& text);

// A started program that is ended (SIGTERM) and reaped when this goes.
class Process {
 public:
  Process() = default;
  explicit Process(pid_t pid) : pid_(pid) {}
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;

  // Waits for the end; the exit status (128 + signal when killed) and the
  // kernel's accounting of the process.
  int Wait(rusage& usage);
  // Waits at most timeout_ns, looking every millisecond; whether it ended.
  bool WaitFor(std::int64_t timeout_ns);

  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// fork + exec; the child keeps keep_fd open (it is passed by number) and
// writes its output, errors included, to output_to when one is given.
Process Spawn(const std::vector<std::string>& args, int keep_fd = -1, const std::filesystem::path& output_to = {});

// An X server of our own on a free display, ended with this.
class Xvfb {
 public:
  Xvfb();
  const std::string& Display() const { return display_; }
  pid_t Pid() const { return process_.Pid(); }

 private:
  Process process_;
  std::string display_;
};

// A fresh folder under the system's temporary folder, removed with everything
// in it when this goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace timing
