/* box.exe TITLE MS: waits up to MS ms for a dialog box titled TITLE, of any
 * program on the desktop; prints its text (each static control's, in order,
 * "\r" dropped) and, last, "ok X Y": the screen point in the middle of its OK
 * button. Status 1 when no such box came. Run under the wine of the program
 * it watches. */
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

static void print_utf8(const wchar_t* text) {
  char out[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, NULL, NULL);
  for (int i = 0; i < n && out[i] != '\0'; ++i) {
    if (out[i] != '\r') putchar(out[i]);
  }
}

static HWND ok_button;

static BOOL CALLBACK child(HWND window, LPARAM unused) {
  (void)unused;
  wchar_t class_name[64], text[2048];
  GetClassNameW(window, class_name, 64);
  GetWindowTextW(window, text, 2048);
  if (_wcsicmp(class_name, L"Static") == 0 && text[0] != L'\0') {
    print_utf8(text);
    putchar('\n');
  }
  if (_wcsicmp(class_name, L"Button") == 0 && GetDlgCtrlID(window) == IDOK) ok_button = window;
  return TRUE;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fputs("usage: box.exe TITLE MS\n", stderr);
    return 2;
  }
  const DWORD limit = (DWORD)wcstoul(argv[2], NULL, 10), start = GetTickCount();
  HWND box;
  while ((box = FindWindowW(L"#32770", argv[1])) == NULL || !IsWindowVisible(box)) {
    if (GetTickCount() - start > limit) return 1;
    Sleep(50);
  }
  EnumChildWindows(box, child, 0);
  RECT r;
  if (ok_button == NULL || !GetWindowRect(ok_button, &r)) return 1;
  printf("ok %ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  return 0;
}
