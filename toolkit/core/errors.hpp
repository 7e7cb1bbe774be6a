#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tk {

// A run-time error the program does not trap: the runtime catches it at the
// top of the message loop, shows its own error box and ends the process.
class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int number, const std::string& text) : std::runtime_error(text), number_(number) {}
  int Number() const { return number_; }

  static RuntimeError Overflow() { return {6, "Overflow"}; }
  static RuntimeError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
  static RuntimeError DivisionByZero() { return {11, "Division by zero"}; }
  // A library that is there but cannot be loaded (damaged, cut short, built for another machine).
  static RuntimeError ErrorInLoadingDll() { return {48, "Error in loading DLL"}; }
  static RuntimeError FileNotFound(const std::string& what) { return {53, "File not found: " + what}; }
  static RuntimeError EntryPointNotFound(const std::string& entry, const std::string& library) {
    return {453, "Can't find DLL entry point " + entry + " in " + library};
  }

 private:
  int number_;
};

// No display to open the window on, at start or later.
class NoDisplay : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A display that cannot show the window (its screen's depth), with the whole
// sentence saying why.
class DisplayUnfit : public NoDisplay {
 public:
  using NoDisplay::NoDisplay;
};

// Thrown by an immediate end of the program; carries the exit status.
struct ProgramEnd {
  int status = 0;
};

// The prompt of the runtime's error box for an untrapped error.
inline std::string RuntimeErrorPrompt(int number, std::string_view text) {
  return "Run-time error '" + std::to_string(number) + "':\r\n\r\n" + std::string(text);
}

}  // namespace tk
