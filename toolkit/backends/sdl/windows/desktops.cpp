// The desktop of Windows: SDL's window with what Windows adds to it, and
// Windows' own message box.
#include "desktops.hpp"

#include <SDL_syswm.h>
#include <windows.h>

#include <string>

#include "windows_window.hpp"

namespace tk {

namespace {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), length);
  return text;
}

}  // namespace

// A desktop session always has its display; SDL says what is wrong otherwise.
std::unique_ptr<DisplayCheck> CheckDisplay() { return std::make_unique<DisplayCheck>(); }

// GDI lends every window its pixels, at the monitor's own size.
WindowKind KindOfWindow(std::string_view /*driver*/) { return {}; }

std::unique_ptr<DesktopWindow> AttachDesktop(SDL_Window& window, const Form& form) {
  if (auto windows = WindowsWindow::Attach(window, form)) return windows;
  return std::make_unique<DesktopWindow>();
}

// Windows' message box, whose styles are the toolkit's own.
bool ShowMessageBox(SDL_Window* owner, std::string_view title, std::string_view prompt, int style) {
  HWND parent = nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (owner != nullptr && SDL_GetWindowWMInfo(owner, &info) && info.subsystem == SDL_SYSWM_WINDOWS) {
    parent = info.info.win.window;
  }
  if (MessageBoxW(parent, Wide(prompt).c_str(), Wide(title).c_str(), static_cast<UINT>(style)) != 0) return true;
  SDL_SetError("MessageBoxW failed with error %lu", GetLastError());
  return false;
}

}  // namespace tk
