#include "windows_window.hpp"

#include <SDL_syswm.h>
#include <windows.h>

#include "controls.hpp"

namespace tk {

namespace {

// The icon group in the program's resources (windows.rc).
constexpr int kIconResource = 1;

// The monitor's dots per inch: GetDpiForMonitor where Windows has it (8.1 and
// later, in shcore.dll), else the system's.
double MonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  if (HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    const auto get =
        reinterpret_cast<GetDpiForMonitorFn>(reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    UINT x = 0, y = 0;
    const bool got = get != nullptr && get(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y) == S_OK;
    FreeLibrary(shcore);
    if (got) return x;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The buttons held (1 left, 2 right, 4 middle) of a mouse message's wParam.
std::int16_t ButtonMask(WPARAM keys) {
  std::int16_t mask = 0;
  if (keys & MK_LBUTTON) mask |= 1;
  if (keys & MK_RBUTTON) mask |= 2;
  if (keys & MK_MBUTTON) mask |= 4;
  return mask;
}

// A WM_MOUSEMOVE of the window with a button held, or null.
const SDL_SysWMmsg* DragMove(const SDL_Event& e, HWND window) {
  if (e.type != SDL_SYSWMEVENT || e.syswm.msg == nullptr || e.syswm.msg->subsystem != SDL_SYSWM_WINDOWS) return nullptr;
  const auto& msg = e.syswm.msg->msg.win;
  return msg.hwnd == window && msg.msg == WM_MOUSEMOVE && ButtonMask(msg.wParam) != 0 ? e.syswm.msg : nullptr;
}

void SetIcon(HWND window, WPARAM which, int size_metric) {
  const int size = GetSystemMetrics(size_metric);
  if (HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, size, size,
                               LR_DEFAULTCOLOR | LR_SHARED)) {
    SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
  }
}

}  // namespace

std::unique_ptr<WindowsWindow> WindowsWindow::Attach(SDL_Window& window, const Form& form) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(&window, &info) || info.subsystem != SDL_SYSWM_WINDOWS) return nullptr;
  return std::make_unique<WindowsWindow>(info.info.win.window, form);
}

WindowsWindow::WindowsWindow(HWND__* window, const Form& form) : window_(window) {
  const Rect r = form.PixelRect();
  HMONITOR monitor = MonitorFromPoint(POINT{r.x, r.y}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(monitor, &info)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
  const RECT& area = info.rcWork;
  opening_ = OpenOnScreen(r, ScaleOfDpi(MonitorDpi(monitor)),
                          {area.left, area.top, area.right - area.left, area.bottom - area.top});
  SetIcon(window, ICON_BIG, SM_CXICON);
  SetIcon(window, ICON_SMALL, SM_CXSMICON);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

Queued WindowsWindow::Sort(SDL_Event& e) const {
  switch (e.type) {
    case SDL_MOUSEMOTION: return e.motion.state != 0 ? Queued::Drop : Queued::Move;  // a drag's: the window's own
    case SDL_SYSWMEVENT: return DragMove(e, window_) != nullptr ? Queued::Move : Queued::Drop;
    default: return Queued::Keep;
  }
}

std::optional<MouseEvent> WindowsWindow::Pointer(const SDL_Event& e, ScreenPoint& window_at,
                                                 const PointerMap& map) const {
  const SDL_SysWMmsg* move = DragMove(e, window_);
  POINT cursor{};
  if (move == nullptr) return SdlPointer(e, map);
  if (!GetCursorPos(&cursor)) return std::nullopt;
  SDL_Event now{};
  now.type = SDL_MOUSEMOTION;
  now.motion.x = cursor.x - window_at.x;
  now.motion.y = cursor.y - window_at.y;
  std::optional<MouseEvent> event = SdlPointer(now, map);
  if (event) event->button = ButtonMask(move->msg.win.wParam);
  return event;
}

}  // namespace tk
