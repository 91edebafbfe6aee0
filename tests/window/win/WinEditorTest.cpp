// The editor in a Windows host, under Wine on an X display: a small host of ours makes a top-level
// window, loads the module through its VST2 entry point, opens the editor inside that window, runs the
// message loop and drives the editor with real window messages. Message boxes, menus and dialogs are
// answered by a thread timer, which keeps running inside their modal loops, so nothing can hang; a
// watchdog ends the process after a time limit in any case.
//
//   win_editor_test.exe <module.dll> <headless face.png> [<screenshot.bmp>]
//
// The PNG is the face of program 0 drawn by the headless layer (sarn-face --program 0); the window's
// pixels must equal it outside the text fields. Prints one line per failed check and a summary.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "editor/PopupMenu.h"
#include "editor/face/FaceLayout.h"
#include "editor/win/IGraphicsWin.h"
#include "plugin/vst2/VstInterface.h"
#include "raster/Bitmap.h"
#include "raster/PngDecoder.h"
#include "resources/Version.h"

namespace {

constexpr int kWidth = kFaceWidth;
constexpr int kHeight = kFaceHeight;
constexpr DWORD kTimeLimitMs = 90000;

int gFailures = 0;
int gChecks = 0;
const char* gCase = "";

void Fail(int line, const char* format, ...) {
  ++gFailures;
  std::printf("FAIL [%s] line %d: ", gCase, line);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

#define CHECK(cond) \
  do { \
    ++gChecks; \
    if (!(cond)) Fail(__LINE__, "%s", #cond); \
  } while (0)
#define CHECK_INT(actual, expected) \
  do { \
    ++gChecks; \
    const long long a_ = static_cast<long long>(actual); \
    const long long e_ = static_cast<long long>(expected); \
    if (a_ != e_) Fail(__LINE__, "%s is %lld, expected %lld", #actual, a_, e_); \
  } while (0)
#define CHECK_NEAR(actual, expected, tolerance) \
  do { \
    ++gChecks; \
    const double a_ = (actual); \
    const double e_ = (expected); \
    if (!(std::fabs(a_ - e_) <= (tolerance))) Fail(__LINE__, "%s is %.6f, expected %.6f", #actual, a_, e_); \
  } while (0)
#define CHECK_STR(actual, expected) \
  do { \
    ++gChecks; \
    const std::string a_ = (actual); \
    const std::string e_ = (expected); \
    if (a_ != e_) Fail(__LINE__, "%s is \"%s\", expected \"%s\"", #actual, a_.c_str(), e_.c_str()); \
  } while (0)

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
  return out;
}

// ---------------------------------------------------------------- the host

struct HostRecord {
  std::vector<std::pair<int, int>> calls;  // opcode, index: begin-edit, automate, end-edit
  std::vector<WPARAM> keysDown;            // reaching the host's top-level window
  std::vector<WPARAM> keysUp;
};
HostRecord gHost;
HWND gEchoKeysTo = nullptr;  // a host that hands every key it gets back to this window

VstIntPtr VST_CALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float) {
  switch (opcode) {
    case audioMasterVersion:
      return 2400;
    case audioMasterAutomate:
    case 43:  // begin edit
    case 44:  // end edit
      gHost.calls.emplace_back(opcode, index);
      return 1;
    default:
      return 0;
  }
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN) gHost.keysDown.push_back(wParam);
  if (message == WM_KEYUP) gHost.keysUp.push_back(wParam);
  if ((message == WM_KEYDOWN || message == WM_KEYUP) && gEchoKeysTo) {
    return SendMessageW(gEchoKeysTo, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeHostWindow(int x = 0, int y = 0, int width = kWidth, int height = kHeight) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = HostWindowProc;
    hostClass.hInstance = GetModuleHandleW(nullptr);
    hostClass.lpszClassName = L"SarnTestHostWindow";
    hostClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    registered = RegisterClassW(&hostClass) != 0;
  }
  RECT frame{0, 0, width + 20, height + 20};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  HWND window = CreateWindowExW(0, L"SarnTestHostWindow", L"Sarn test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  return window;
}

using EntryProc = AEffect*(VST_CALLBACK*)(VstHostCallback);
HMODULE gModule = nullptr;
EntryProc gEntry = nullptr;

struct Plugin {
  AEffect* effect = nullptr;
  Plugin() {
    effect = gEntry(HostCallback);
    if (effect) {
      Dispatch(effOpen);
      Dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
      Dispatch(effSetBlockSize, 0, 256);
      Dispatch(effMainsChanged, 0, 1);
    }
  }
  ~Plugin() {
    if (!effect) return;
    Dispatch(effMainsChanged, 0, 0);
    Dispatch(effClose);
  }
  VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  float Get(int index) { return effect->getParameter(effect, index); }
  void Set(int index, float value) { effect->setParameter(effect, index, value); }
  std::string ProgramName() {
    char name[256] = {};
    Dispatch(effGetProgramName, 0, 0, name);
    return name;
  }
  // Peak of one rendered block.
  double RenderPeak() {
    std::vector<float> left(256), right(256);
    float* outputs[2] = {left.data(), right.data()};
    effect->processReplacing(effect, nullptr, outputs, 256);
    double peak = 0;
    for (int i = 0; i < 256; ++i) peak = std::max(peak, static_cast<double>(std::fabs(left[i]) + std::fabs(right[i])));
    return peak;
  }
};

// ---------------------------------------------------------------- modal answers

// What the answering timer does with the next menu and message box it finds.
struct Script {
  std::vector<WPARAM> menuKeys;           // keys given to an open menu; empty: Escape
  int answer = 0;                          // IDYES, IDNO, IDOK...; 0: No where there is one, else OK/cancel
  std::wstring fileName;                   // typed into the next file dialog, which is then confirmed
  std::vector<std::string> menusSeen;      // first entries of each menu, joined with '|'
  std::vector<POINT> menuPositions;        // top-left of each menu window
  std::vector<std::string> messagesSeen;   // text of each message box, or [title] of another dialog
  std::vector<HWND> messageOwners;         // the window owning each
  HWND lastMenu = nullptr;
  HWND lastDialog = nullptr;
};
Script gScript;
HWND gHostWindow = nullptr;

std::string MenuEntries(HMENU menu) {
  std::string entries;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && i < 4; ++i) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    if (i) entries += '|';
    entries += Narrow(text);
  }
  return entries;
}

BOOL CALLBACK AnswerWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wcscmp(name, L"#32768") == 0 && window != gScript.lastMenu) {
    gScript.lastMenu = window;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(window, 0x01E1 /* MN_GETHMENU */, 0, 0));
    gScript.menusSeen.push_back(menu ? MenuEntries(menu) : std::string());
    RECT frame;
    GetWindowRect(window, &frame);
    gScript.menuPositions.push_back(POINT{frame.left, frame.top});
    // The menu's loop reads keys from the thread's queue, whatever window they are posted to.
    std::vector<WPARAM> keys = gScript.menuKeys;
    if (keys.empty()) keys.push_back(VK_ESCAPE);
    gScript.menuKeys.clear();
    for (WPARAM key : keys) {
      PostMessageW(gHostWindow, WM_KEYDOWN, key, 1);
      PostMessageW(gHostWindow, WM_KEYUP, key, 0xC0000001);
    }
    return FALSE;
  }
  if (std::wcscmp(name, L"#32770") == 0 && window != gScript.lastDialog) {
    gScript.lastDialog = window;
    wchar_t text[512] = {};
    GetDlgItemTextW(window, 0xFFFF, text, 512);
    std::string seen = Narrow(text);
    if (seen.empty()) {
      GetWindowTextW(window, text, 512);
      seen = "[" + Narrow(text) + "]";
    }
    gScript.messagesSeen.push_back(seen);
    gScript.messageOwners.push_back(GetWindow(window, GW_OWNER));
    if (!gScript.fileName.empty() && seen.front() == '[') {
      // The file name box of the common dialog (cmb13 in the explorer style, edt1 in the old one).
      SetDlgItemTextW(window, 0x47C, gScript.fileName.c_str());
      SetDlgItemTextW(window, 0x480, gScript.fileName.c_str());
      gScript.fileName.clear();
      gScript.answer = IDOK;
    }
    int answer = gScript.answer;
    gScript.answer = 0;
    if (answer == 0) answer = GetDlgItem(window, IDNO) ? IDNO : (GetDlgItem(window, IDCANCEL) ? IDCANCEL : IDOK);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, answer)));
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), AnswerWindow, 0); }

// ---------------------------------------------------------------- the message loop

// Dispatches messages for ms milliseconds.
void Pump(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  MSG msg;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// Dispatches messages until the editor's redraw timer has fired count times (at most limit ms);
// returns the ticks seen.
int PumpTicks(HWND editor, int count, DWORD limit = 3000) {
  const DWORD end = GetTickCount() + limit;
  int ticks = 0;
  MSG msg;
  while (ticks < count && static_cast<LONG>(end - GetTickCount()) > 0) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
      continue;
    }
    const bool tick = msg.hwnd == editor && msg.message == WM_TIMER && msg.wParam == 2;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (tick) ++ticks;
  }
  return ticks;
}

HWND FindEditor(HWND host) { return FindWindowExW(host, nullptr, L"IPlugWndClass", L"IPlug"); }

int CountEditors(HWND host) {
  int count = 0;
  for (HWND w = FindWindowExW(host, nullptr, L"IPlugWndClass", nullptr); w;
       w = FindWindowExW(host, w, L"IPlugWndClass", nullptr)) {
    ++count;
  }
  return count;
}

bool ClassRegistered() {
  WNDCLASSW info;
  return GetClassInfoW(gModule, L"IPlugWndClass", &info) != 0;
}

// ---------------------------------------------------------------- pixels

struct Shot {
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, width x height
  int width = kWidth;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
};

Shot Screenshot(HWND editor, int width = kWidth, int height = kHeight) {
  Shot shot;
  shot.width = width;
  shot.pixels.assign(static_cast<size_t>(width) * height, 0);
  HDC window = GetDC(editor);
  HDC memory = CreateCompatibleDC(window);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, dib);
  BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
  GdiFlush();
  std::memcpy(shot.pixels.data(), bits, shot.pixels.size() * 4);
  SelectObject(memory, old);
  DeleteObject(dib);
  DeleteDC(memory);
  ReleaseDC(editor, window);
  return shot;
}

void SaveBmp(const Shot& shot, const char* path) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return;
  BITMAPFILEHEADER header{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = kWidth;
  info.biHeight = -kHeight;
  info.biPlanes = 1;
  info.biBitCount = 32;
  header.bfType = 0x4D42;
  header.bfOffBits = sizeof(header) + sizeof(info);
  header.bfSize = header.bfOffBits + static_cast<DWORD>(shot.pixels.size() * 4);
  std::fwrite(&header, sizeof(header), 1, file);
  std::fwrite(&info, sizeof(info), 1, file);
  std::fwrite(shot.pixels.data(), 4, shot.pixels.size(), file);
  std::fclose(file);
}

bool RegionDiffers(const Shot& a, const Shot& b, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (a.At(x, y) != b.At(x, y)) return true;
    }
  }
  return false;
}

double RegionBrightness(const Shot& s, int left, int top, int right, int bottom) {
  double sum = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const uint32_t p = s.At(x, y);
      sum += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255);
    }
  }
  return sum / ((right - left) * (bottom - top));
}

// ---------------------------------------------------------------- input

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

void Click(HWND editor, int x, int y) {
  SendMessageW(editor, WM_MOUSEMOVE, 0, Point(x, y));
  SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
  SendMessageW(editor, WM_LBUTTONUP, 0, Point(x, y));
}

void Wheel(HWND editor, int x, int y, int delta) {
  POINT screen{x, y};
  ClientToScreen(editor, &screen);
  SendMessageW(editor, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(screen.x, screen.y));
}

// The text-entry box of the editor (control id 99), or null.
HWND EntryBox(HWND editor) {
  HWND entry = GetDlgItem(editor, 99);
  wchar_t name[16] = {};
  if (entry) GetClassNameW(entry, name, 16);
  return entry && _wcsicmp(name, L"EDIT") == 0 ? entry : nullptr;
}

void Type(HWND entry, const wchar_t* text) {
  SendMessageW(entry, EM_SETSEL, 0, -1);
  for (const wchar_t* p = text; *p; ++p) SendMessageW(entry, WM_CHAR, static_cast<WPARAM>(*p), 1);
}

std::string EntryText(HWND entry) {
  wchar_t text[64] = {};
  GetWindowTextW(entry, text, 64);
  return Narrow(text);
}

// ---------------------------------------------------------------- cases

const char* gSnapshotPath = nullptr;
const char* gScreenshotPath = nullptr;

// Fields where the host's text renderer draws: the program number and name, the version.
bool InTextField(int x, int y) {
  auto in = [x, y](int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; };
  return in(399, 24, 424, 41) || in(449, 24, 642, 41) || in(280, 22, 318, 42);
}

void TestModuleResources(const char* path) {
  gCase = "module resources";
  for (int id = 101; id <= 120; ++id) {
    HRSRC image = FindResourceW(gModule, MAKEINTRESOURCEW(id), L"PNG");
    CHECK(image != nullptr && SizeofResource(gModule, image) > 8);
  }
  HRSRC bank = FindResourceW(gModule, L"PROGINIT", L"INIT");
  CHECK(bank != nullptr);
  if (bank) {
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(gModule, bank)));
    CHECK(bytes != nullptr && std::memcmp(bytes, "CcnK", 4) == 0);
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  CHECK(size > 0);
  std::vector<char> info(size ? size : 1);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (size && GetFileVersionInfoA(path, 0, size, info.data()) &&
      VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    CHECK_INT(fixed->dwFileVersionMS, kVersionMajor << 16 | kVersionMinor);
    CHECK_INT(fixed->dwFileVersionLS, kVersionFix << 16);
  } else {
    CHECK(!"version record readable");
  }
  // The factory bank from the resource is the instance's bank.
  Plugin plug;
  char name[64] = {};
  plug.Dispatch(effGetProgramNameIndexed, 0, -1, name);
  CHECK_STR(name, "Phazed Orchestra");
}

void TestOpenAndFirstPaint() {
  gCase = "open";
  Plugin plug;
  CHECK(plug.effect != nullptr);
  if (!plug.effect) return;
  CHECK((plug.effect->flags & effFlagsHasEditor) != 0);
  ERect* rect = nullptr;
  CHECK_INT(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  CHECK(rect != nullptr);
  if (rect) {
    CHECK_INT(rect->right - rect->left, kWidth);
    CHECK_INT(rect->bottom - rect->top, kHeight);
  }
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<intptr_t>(0x7654))), 0);
  CHECK(!ClassRegistered());

  HWND host = MakeHostWindow();
  gHostWindow = host;
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, host), 1);
  HWND editor = FindEditor(host);
  CHECK(editor != nullptr);
  if (!editor) return;
  CHECK(ClassRegistered());
  RECT client;
  GetClientRect(editor, &client);
  CHECK_INT(client.right, kWidth);
  CHECK_INT(client.bottom, kHeight);
  RECT frame;
  GetWindowRect(editor, &frame);
  POINT origin{0, 0};
  ClientToScreen(host, &origin);
  CHECK_INT(frame.left - origin.x, 0);
  CHECK_INT(frame.top - origin.y, 0);
  CHECK(GetFocus() == editor);
  CHECK_INT(PumpTicks(editor, 3), 3);

  const Shot shot = Screenshot(editor);
  if (gScreenshotPath) SaveBmp(shot, gScreenshotPath);
  std::unique_ptr<LICE_MemBitmap> face = LoadPngFile(gSnapshotPath, false);
  CHECK(face != nullptr);
  if (face) {
    CHECK_INT(face->Width(), kWidth);
    CHECK_INT(face->Height(), kHeight);
    int differing = 0;
    int compared = 0;
    for (int y = 0; y < kHeight && face->Height() == kHeight; ++y) {
      for (int x = 0; x < kWidth && face->Width() == kWidth; ++x) {
        if (InTextField(x, y)) continue;
        ++compared;
        const uint32_t expected = face->Bits()[y * face->RowSpan() + x] & 0xFFFFFF;
        if (shot.At(x, y) != expected) {
          if (differing < 5) std::printf("  pixel %d,%d: window %06X, headless %06X\n", x, y, shot.At(x, y), expected);
          ++differing;
        }
      }
    }
    std::printf("  screenshot: %d of %d pixels outside the text fields differ from the headless face\n", differing,
                compared);
    CHECK_INT(differing, 0);
  }

  // Opened again without a close: one editor window, in the same place.
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, host), 1);
  CHECK_INT(CountEditors(host), 1);
  CHECK(FindEditor(host) != nullptr);
  CHECK_INT(plug.Dispatch(effEditClose), 1);
  CHECK_INT(CountEditors(host), 0);
  CHECK(!ClassRegistered());
  // Closed without being open.
  CHECK_INT(plug.Dispatch(effEditClose), 1);
  CHECK(!ClassRegistered());
  DestroyWindow(host);
}

// A host's content scale of 2 (effVendorSpecific 'PreS' 'AeCs', as several hosts send it): the editor
// reports and opens at twice the size and shows the headless face drawn at 200 %, to the pixel outside
// the text fields, as far as the test's screen shows it.
void TestHostContentScale() {
  gCase = "host content scale";
  constexpr int kPreS = ('P' << 24) | ('r' << 16) | ('e' << 8) | 'S';
  constexpr intptr_t kAeCs = ('A' << 24) | ('e' << 16) | ('C' << 8) | 's';
  Plugin plug;
  if (!plug.effect) return;
  CHECK_INT(plug.Dispatch(effVendorSpecific, kPreS, kAeCs, nullptr, 2.0f), 1);
  ERect* rect = nullptr;
  CHECK_INT(plug.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  if (rect) {
    CHECK_INT(rect->right - rect->left, 2 * kWidth);
    CHECK_INT(rect->bottom - rect->top, 2 * kHeight);
  }
  HWND host = MakeHostWindow(0, 0, 2 * kWidth, 2 * kHeight);
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, host), 1);
  HWND editor = FindEditor(host);
  CHECK(editor != nullptr);
  if (!editor) return;
  RECT client;
  GetClientRect(editor, &client);
  CHECK_INT(client.right, 2 * kWidth);
  CHECK_INT(client.bottom, 2 * kHeight);
  CHECK_INT(PumpTicks(editor, 3), 3);
  // The part of the editor on the test's screen.
  POINT origin{0, 0};
  ClientToScreen(editor, &origin);
  const int width = std::min(2 * kWidth, GetSystemMetrics(SM_CXSCREEN) - static_cast<int>(origin.x));
  const int height = std::min(2 * kHeight, GetSystemMetrics(SM_CYSCREEN) - static_cast<int>(origin.y));
  CHECK(width > kWidth && height > kHeight / 2);
  const std::string facePath = std::string(gSnapshotPath).substr(0, std::strlen(gSnapshotPath) - 4) + "-200.png";
  std::unique_ptr<LICE_MemBitmap> face = LoadPngFile(facePath.c_str(), false);
  CHECK(face != nullptr && face->Width() == 2 * kWidth && face->Height() == 2 * kHeight);
  if (face && face->Width() == 2 * kWidth && width > 0 && height > 0) {
    const Shot shot = Screenshot(editor, width, height);
    int differing = 0;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (InTextField(x / 2, y / 2)) continue;
        const uint32_t expected = face->Bits()[y * face->RowSpan() + x] & 0xFFFFFF;
        if (shot.At(x, y) != expected) {
          if (differing < 5) std::printf("  pixel %d,%d: window %06X, headless %06X\n", x, y, shot.At(x, y), expected);
          ++differing;
        }
      }
    }
    std::printf("  200 %%: %d of %d x %d pixels outside the text fields differ from the headless face\n", differing,
                width, height);
    CHECK_INT(differing, 0);
  }
  CHECK_INT(plug.Dispatch(effEditClose), 1);
  DestroyWindow(host);
}

void TestTwoInstancesAndHostDestroyingFirst() {
  gCase = "two editors";
  Plugin first;
  Plugin second;
  HWND hostA = MakeHostWindow();
  HWND hostB = MakeHostWindow(40, 40);
  CHECK_INT(first.Dispatch(effEditOpen, 0, 0, hostA), 1);
  CHECK_INT(second.Dispatch(effEditOpen, 0, 0, hostB), 1);
  CHECK(ClassRegistered());
  Pump(100);
  CHECK_INT(first.Dispatch(effEditClose), 1);
  CHECK(ClassRegistered());
  CHECK(FindEditor(hostB) != nullptr);
  CHECK_INT(second.Dispatch(effEditClose), 1);
  CHECK(!ClassRegistered());

  gCase = "host destroys its window first";
  CHECK_INT(first.Dispatch(effEditOpen, 0, 0, hostA), 1);
  Pump(60);
  DestroyWindow(hostA);
  Pump(100);  // the editor's timer must not outlive its window
  CHECK_INT(first.Dispatch(effEditClose), 1);
  CHECK(!ClassRegistered());
  // The editor opens again in a new window afterwards.
  HWND hostC = MakeHostWindow();
  CHECK_INT(first.Dispatch(effEditOpen, 0, 0, hostC), 1);
  CHECK(FindEditor(hostC) != nullptr);
  Pump(60);
  CHECK_INT(first.Dispatch(effEditClose), 1);
  DestroyWindow(hostB);
  DestroyWindow(hostC);
  CHECK(!ClassRegistered());
}

void TestMouse(Plugin& plug, HWND editor) {
  gCase = "slider drag";
  gHost.calls.clear();
  // Master Volume, a horizontal slider at 44,168 (96 x 10).
  const float before = plug.Get(0);
  const int x = before > 0.5f ? 110 : 70;
  const int step = before > 0.5f ? -6 : 6;
  SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, 173));
  for (int i = 1; i <= 5; ++i) SendMessageW(editor, WM_MOUSEMOVE, MK_LBUTTON, Point(x + i * step, 173));
  SendMessageW(editor, WM_LBUTTONUP, 0, Point(x + 5 * step, 173));
  plug.Dispatch(effEditIdle);  // the host hears of the gesture on its next idle call
  const float after = plug.Get(0);
  CHECK(step > 0 ? after > before + 0.01f : after < before - 0.01f);
  std::printf("  drag of %d px: Master Volume %.4f -> %.4f\n", 5 * step, before, after);
  CHECK(gHost.calls.size() >= 3);
  if (gHost.calls.size() >= 3) {
    CHECK_INT(gHost.calls.front().first, 43);
    CHECK_INT(gHost.calls.front().second, 0);
    CHECK_INT(gHost.calls[1].first, 0);
    CHECK_INT(gHost.calls[1].second, 0);
    CHECK_INT(gHost.calls.back().first, 44);
    CHECK_INT(gHost.calls.back().second, 0);
  }

  gCase = "button lights its lamp";
  // The string register buttons (parameters 5..8) sit at 412 + 48 i, 96 with their lamps at 424 + 48 i, 80.
  int chosen = -1;
  for (int i = 0; i < 4 && chosen < 0; ++i) {
    if (plug.Get(5 + i) < 0.5f) chosen = i;
  }
  CHECK(chosen >= 0);
  if (chosen >= 0) {
    const int lampX = 424 + 48 * chosen;
    PumpTicks(editor, 1);
    const Shot off = Screenshot(editor);
    Click(editor, 428 + 48 * chosen, 112);
    CHECK_NEAR(plug.Get(5 + chosen), 1.0, 1e-6);
    CHECK_INT(PumpTicks(editor, 1), 1);
    const Shot on = Screenshot(editor);
    CHECK(RegionDiffers(off, on, lampX, 80, lampX + 8, 88));
    CHECK(RegionBrightness(on, lampX, 80, lampX + 8, 88) > RegionBrightness(off, lampX, 80, lampX + 8, 88) + 10);
    Click(editor, 428 + 48 * chosen, 112);  // back off
    CHECK_NEAR(plug.Get(5 + chosen), 0.0, 1e-6);
  }

  gCase = "key sounds a note";
  for (int i = 0; i < 40; ++i) plug.RenderPeak();  // let any earlier sound die away
  const double quiet = plug.RenderPeak();
  SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(49 + 19 * 14, 560));  // a white key near the middle
  double loud = 0;
  for (int i = 0; i < 8; ++i) loud = std::max(loud, plug.RenderPeak());
  SendMessageW(editor, WM_LBUTTONUP, 0, Point(49 + 19 * 14, 560));
  std::printf("  key: peak %.5f before, %.5f while held\n", quiet, loud);
  CHECK(quiet < 1e-4);
  CHECK(loud > 0.01);

  gCase = "wheel moves a knob by 0.01";
  // Tone, a knob at 336,96 (32 x 32).
  const float tone = plug.Get(2);
  const int notch = tone > 0.9f ? -120 : 120;
  Wheel(editor, 352, 112, notch);
  CHECK_NEAR(plug.Get(2) - tone, notch > 0 ? 0.01 : -0.01, 1e-5);

  gCase = "double click restores a knob";
  SendMessageW(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(352, 112));
  SendMessageW(editor, WM_LBUTTONUP, 0, Point(352, 112));
  CHECK_NEAR(plug.Get(2), tone, 1e-6);
}

void TestMenus(Plugin& plug, HWND editor) {
  gCase = "options menu";
  // Copy Program, change a value, Paste Program (answered Yes): the value comes back.
  const float original = plug.Get(3);
  gScript.menuKeys = {VK_DOWN, VK_RETURN};
  Click(editor, 660, 30);
  CHECK_INT(static_cast<int>(gScript.menusSeen.size()), 1);
  if (!gScript.menusSeen.empty()) {
    CHECK_STR(gScript.menusSeen.back(), "Copy Program|Paste Program|Init Program|");
    POINT at{660, 30};
    ClientToScreen(editor, &at);
    CHECK(std::abs(gScript.menuPositions.back().x - at.x) <= 2);
    CHECK(std::abs(gScript.menuPositions.back().y - at.y) <= 2);
  }
  plug.Set(3, original > 0.5f ? 0.1f : 0.9f);
  gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
  gScript.answer = IDYES;
  Click(editor, 660, 30);
  CHECK_INT(static_cast<int>(gScript.menusSeen.size()), 2);
  CHECK_INT(static_cast<int>(gScript.messagesSeen.size()), 1);
  if (!gScript.messagesSeen.empty()) {
    CHECK_STR(gScript.messagesSeen.back(), "Do you really want to overwrite the current program?");
    CHECK(gScript.messageOwners.back() == gHostWindow);  // owned by the host's top-level window
  }
  CHECK_NEAR(plug.Get(3), original, 1e-6);
  // Init Program asks first; No leaves the program alone.
  plug.Set(3, 0.25f);
  gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
  Click(editor, 660, 30);
  CHECK_INT(static_cast<int>(gScript.messagesSeen.size()), 2);
  if (gScript.messagesSeen.size() == 2) {
    CHECK_STR(gScript.messagesSeen.back(), "Do you really want to initialize the current program?");
  }
  CHECK_NEAR(plug.Get(3), 0.25, 1e-6);
  // Dismissed with Escape: nothing happens.
  Click(editor, 660, 30);
  CHECK_INT(static_cast<int>(gScript.menusSeen.size()), 4);
  CHECK_INT(static_cast<int>(gScript.messagesSeen.size()), 2);
  // Load Program (after the separator) opens a file dialog, which is cancelled: nothing changes.
  gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
  Click(editor, 660, 30);
  CHECK_INT(static_cast<int>(gScript.messagesSeen.size()), 3);
  if (gScript.messagesSeen.size() == 3) {
    CHECK(gScript.messagesSeen.back().front() == '[');  // a dialog, not a message box
    // Owned by the editor window, that is by its top-level ancestor (a child window owns nothing).
    CHECK(gScript.messageOwners.back() == gHostWindow);
  }
  CHECK_NEAR(plug.Get(3), 0.25, 1e-6);
  // Save Program under a name outside any ANSI code page: the wide dialog hands it over whole.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring saved = std::wstring(temp) + L"Программа € 音.fxp";
  DeleteFileW(saved.c_str());
  gScript.fileName = saved;
  gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
  Click(editor, 660, 30);
  Pump(300);
  CHECK(GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES);
  DeleteFileW(saved.c_str());

  gCase = "program menu";
  CHECK_INT(plug.Dispatch(effGetProgram), 0);
  // Second group ("16 - 31"), its fourth entry: program 19.
  gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN};
  Click(editor, 410, 32);
  if (!gScript.menusSeen.empty()) CHECK_STR(gScript.menusSeen.back(), "00 - 15|16 - 31|32 - 47|48 - 63");
  CHECK_INT(plug.Dispatch(effGetProgram), 19);
  plug.Dispatch(effSetProgram, 0, 0);
}

void TestTextEntry(Plugin& plug, HWND editor) {
  gCase = "rename entry";
  const std::string name = plug.ProgramName();
  Click(editor, 540, 32);
  HWND entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  CHECK_STR(EntryText(entry), name);
  RECT box;
  GetWindowRect(entry, &box);
  CHECK_INT(box.right - box.left, 641 - 449 + 1);
  CHECK_INT(box.bottom - box.top, 40 - 24 + 1);
  CHECK(GetFocus() == entry);
  CHECK(GetCapture() == nullptr);  // the press that opened the entry let go of the mouse
  PumpTicks(editor, 2);
  Type(entry, L"Night Strings");
  SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 1);
  CHECK_INT(PumpTicks(editor, 1), 1);
  CHECK(EntryBox(editor) == nullptr);
  CHECK_STR(plug.ProgramName(), "Night Strings");

  // Typed text reaches the program as UTF-8.
  Click(editor, 540, 32);
  entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  PumpTicks(editor, 2);
  Type(entry, L"Caf\u00e9 \u00c5");
  SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 1);
  PumpTicks(editor, 1);
  CHECK_STR(plug.ProgramName(), "Caf\xc3\xa9 \xc3\x85");
  Click(editor, 540, 32);
  entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  CHECK_INT(GetWindowTextLengthW(entry), 6);  // and comes back as the same six characters
  PumpTicks(editor, 2);
  Type(entry, L"Night Strings");
  SendMessageW(entry, WM_KEYDOWN, VK_RETURN, 1);
  PumpTicks(editor, 1);

  gCase = "rename cancelled by Escape";
  Click(editor, 540, 32);
  entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  PumpTicks(editor, 2);
  Type(entry, L"Lost");
  SendMessageW(entry, WM_KEYDOWN, VK_ESCAPE, 1);
  PumpTicks(editor, 1);
  CHECK(EntryBox(editor) == nullptr);
  CHECK_STR(plug.ProgramName(), "Night Strings");

  gCase = "rename cancelled by the wheel";
  Click(editor, 540, 32);
  entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  PumpTicks(editor, 2);
  Type(entry, L"Lost");
  const float tone = plug.Get(2);
  Wheel(editor, 352, 112, 120);
  PumpTicks(editor, 1);
  CHECK(EntryBox(editor) == nullptr);
  CHECK_STR(plug.ProgramName(), "Night Strings");
  CHECK_NEAR(plug.Get(2), tone, 0.0);

  gCase = "click commits an entry";
  Click(editor, 540, 32);
  entry = EntryBox(editor);
  CHECK(entry != nullptr);
  if (!entry) return;
  PumpTicks(editor, 2);
  Type(entry, L"Evening");
  const float volume = plug.Get(0);
  Click(editor, 92, 173);  // on a slider: commits instead of reaching it
  PumpTicks(editor, 1);
  CHECK(EntryBox(editor) == nullptr);
  CHECK_STR(plug.ProgramName(), "Evening");
  CHECK_NEAR(plug.Get(0), volume, 0.0);
}

void TestKeysAndTimer(Plugin& plug, HWND editor) {
  gCase = "keys the editor does not take";
  gHost.keysDown.clear();
  gHost.keysUp.clear();
  SendMessageW(editor, WM_KEYDOWN, VK_F5, 1);
  SendMessageW(editor, WM_KEYUP, VK_F5, 0xC0000001);
  CHECK_INT(static_cast<int>(gHost.keysDown.size()), 1);
  if (!gHost.keysDown.empty()) CHECK_INT(gHost.keysDown[0], VK_F5);
  CHECK_INT(static_cast<int>(gHost.keysUp.size()), 1);
  // A letter over the background, where no control takes keys, goes on as well.
  POINT background{5, 600};
  ClientToScreen(editor, &background);
  SetCursorPos(background.x, background.y);
  SendMessageW(editor, WM_KEYDOWN, 'Q', 1);
  CHECK_INT(static_cast<int>(gHost.keysDown.size()), 2);
  if (gHost.keysDown.size() == 2) CHECK_INT(gHost.keysDown[1], 'Q');
  // A host that sends keys back to the editor gets each once; nothing goes round in circles.
  gEchoKeysTo = editor;
  SendMessageW(editor, WM_KEYDOWN, VK_F6, 1);
  SendMessageW(editor, WM_KEYUP, VK_F6, 0xC0000001);
  gEchoKeysTo = nullptr;
  CHECK_INT(static_cast<int>(gHost.keysDown.size()), 3);
  CHECK_INT(static_cast<int>(gHost.keysUp.size()), 2);

  gCase = "host value drawn within one tick";
  // VCF Cutoff, a vertical slider at 305,384.
  PumpTicks(editor, 1);
  const Shot before = Screenshot(editor);
  plug.Set(23, plug.Get(23) > 0.5f ? 0.05f : 0.95f);
  CHECK_INT(PumpTicks(editor, 1), 1);
  const Shot after = Screenshot(editor);
  CHECK(RegionDiffers(before, after, 305, 384, 329, 484));
}

void TestEditorSession() {
  Plugin plug;
  if (!plug.effect) return;
  HWND host = MakeHostWindow();
  gHostWindow = host;
  CHECK_INT(plug.Dispatch(effEditOpen, 0, 0, host), 1);
  HWND editor = FindEditor(host);
  CHECK(editor != nullptr);
  if (!editor) return;
  PumpTicks(editor, 2);
  TestMouse(plug, editor);
  TestMenus(plug, editor);
  TestTextEntry(plug, editor);
  TestKeysAndTimer(plug, editor);

  gCase = "close with an entry open";
  Click(editor, 540, 32);
  CHECK(EntryBox(editor) != nullptr);
  CHECK_INT(plug.Dispatch(effEditClose), 1);
  CHECK(!IsWindow(editor));
  CHECK(!ClassRegistered());
  Pump(100);
  DestroyWindow(host);
}

// The window layer's services on an editor of this program's own, with the module's resources.
void TestServices() {
  HWND host = MakeHostWindow();
  gHostWindow = host;
  IGraphicsWin editor(nullptr, 200, 100);
  editor.SetModuleInstance(gModule);

  gCase = "image resources";
  std::unique_ptr<LICE_MemBitmap> back = editor.LoadImageResource(101, "img/BACK.PnG");
  CHECK(back != nullptr);
  if (back) {
    CHECK_INT(back->Width(), kWidth);
    CHECK_INT(back->Height(), kHeight);
  }
  CHECK(editor.LoadImageResource(110, "img/knob.png") != nullptr);
  CHECK(editor.LoadImageResource(101, "img/back.bmp") == nullptr);
  CHECK(editor.LoadImageResource(101, "img/back.pngx") == nullptr);
  CHECK(editor.LoadImageResource(101, "png") == nullptr);
  CHECK(editor.LoadImageResource(121, "img/none.png") == nullptr);

  gCase = "clipboard";
  if (OpenClipboard(host)) {
    EmptyClipboard();
    const wchar_t text[] = L"Gr\u00fc\u00dfe \u2713";
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(text));
    std::memcpy(GlobalLock(memory), text, sizeof(text));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
  }
  CHECK_STR(editor.ClipboardText(), "Gr\xc3\xbc\xc3\x9f" "e \xe2\x9c\x93");
  if (OpenClipboard(host)) {
    EmptyClipboard();
    CloseClipboard();
  }
  CHECK_STR(editor.ClipboardText(), "");

  gCase = "cursor";
  SetCursorPos(200, 150);
  const int shown = ShowCursor(TRUE) - 1;
  ShowCursor(FALSE);
  editor.HideCursor();
  editor.HideCursor();  // hidden once
  CHECK_INT(ShowCursor(TRUE), shown);
  ShowCursor(FALSE);
  SetCursorPos(400, 300);
  editor.RestoreCursor();
  POINT at;
  GetCursorPos(&at);
  CHECK_INT(at.x, 200);
  CHECK_INT(at.y, 150);
  CHECK_INT(ShowCursor(TRUE) - 1, shown);
  ShowCursor(FALSE);

  gCase = "colour chooser";
  Colour colour{128, 10, 20, 30};
  CHECK(!editor.PromptForColour(colour, "Pick a colour"));  // no window
  CHECK(editor.OpenWindow(host));
  const size_t seen = gScript.messagesSeen.size();
  gScript.answer = IDOK;
  CHECK(editor.PromptForColour(colour, "Pick a colour"));
  CHECK_INT(static_cast<int>(gScript.messagesSeen.size()), static_cast<int>(seen + 1));
  if (gScript.messagesSeen.size() == seen + 1) CHECK_STR(gScript.messagesSeen.back(), "[Pick a colour]");
  CHECK_INT(colour.R, 10);
  CHECK_INT(colour.G, 20);
  CHECK_INT(colour.B, 30);
  CHECK_INT(colour.A, 128);
  gScript.answer = IDCANCEL;
  CHECK(!editor.PromptForColour(colour, "Pick a colour"));

  gCase = "pop-up menu numbering and command blocks";
  {
    PopupMenu menu(2);
    menu.AddItem("Alpha");
    auto inner = std::make_unique<PopupMenu>(1);
    inner->AddItem("One");
    inner->AddItem("Two", PopupMenuItem::kChecked);
    PopupMenu* innerMenu = inner.get();
    menu.AddSubmenu("Group", std::move(inner));
    menu.AddItem("Grey", PopupMenuItem::kGreyed);
    menu.AddSeparator();
    menu.AddItem("Omega");
    // The submenu's second entry.
    gScript.menuKeys = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN};
    PopupMenu* chosen = editor.ShowPopupMenu(menu, Rect(10, 10, 10, 10));
    CHECK(!gScript.menusSeen.empty() && gScript.menusSeen.back() == "01: Alpha|02: Group|03: Grey|");
    CHECK(chosen == innerMenu);
    if (chosen) CHECK_INT(chosen->ChosenPosition(), 1);
    // The top menu's last entry, past the greyed one and the separator.
    gScript.menuKeys = {VK_UP, VK_RETURN};
    chosen = editor.ShowPopupMenu(menu, Rect(10, 10, 10, 10));
    CHECK(chosen == &menu);
    if (chosen) CHECK_INT(chosen->ChosenPosition(), 4);
    // Dismissed.
    menu.SetChosenPosition(-1);
    CHECK(editor.ShowPopupMenu(menu, Rect(10, 10, 10, 10)) == nullptr);
  }
  editor.CloseWindow();
  CHECK(!editor.IsWindowOpen());
  DestroyWindow(host);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: win_editor_test <module.dll> <headless face.png> [<screenshot.bmp>]\n");
    return 2;
  }
  gSnapshotPath = argv[2];
  gScreenshotPath = argc > 3 ? argv[3] : nullptr;
  // Nothing may hang: the process ends itself after the time limit.
  std::thread([] {
    Sleep(kTimeLimitMs);
    std::printf("FAIL: time limit of %lu ms reached\n", static_cast<unsigned long>(kTimeLimitMs));
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
  }).detach();

  gModule = LoadLibraryA(argv[1]);
  gEntry = gModule ? reinterpret_cast<EntryProc>(reinterpret_cast<void*>(GetProcAddress(gModule, "VSTPluginMain")))
                   : nullptr;
  if (!gEntry) {
    std::printf("cannot load %s or find VSTPluginMain\n", argv[1]);
    return 1;
  }
  SetTimer(nullptr, 0, 25, AnswerTimer);
  const DWORD start = GetTickCount();
  TestModuleResources(argv[1]);
  TestOpenAndFirstPaint();
  TestHostContentScale();
  TestTwoInstancesAndHostDestroyingFirst();
  TestEditorSession();
  TestServices();
  std::printf("%d checks, %d failed, %lu ms\n", gChecks, gFailures, static_cast<unsigned long>(GetTickCount() - start));
  std::fflush(stdout);
  return gFailures == 0 ? 0 : 1;
}
