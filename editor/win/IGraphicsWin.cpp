#include "editor/win/IGraphicsWin.h"

#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>
#include <wininet.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "editor/DisplayScale.h"
#include "editor/EditorFactory.h"
#include "editor/EditorHost.h"
#include "editor/IControl.h"
#include "editor/PopupMenu.h"
#include "raster/Bitmap.h"
#include "raster/PngDecoder.h"

namespace {

const wchar_t kWindowClass[] = L"IPlugWndClass";
const wchar_t kWindowName[] = L"IPlug";

// The window class is shared by every editor window of the process: registered by the first that opens,
// unregistered once none is left. Unregistering fails while a window of the class still exists (a host
// that destroyed its window has left ours in its last message), so it is tried again at every close.
struct WindowClassState {
  std::mutex lock;
  int openWindows = 0;
  bool registered = false;
  HINSTANCE instance = nullptr;
  int frameRate = 25;  // of the last opened editor
};

WindowClassState& ClassState() {
  static WindowClassState state;
  return state;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) {
    // Not UTF-8: take the bytes as the system code page.
    std::wstring wide(text.size(), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return wide;
  }
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

std::string Narrow(const wchar_t* text, int length) {
  if (!text || length <= 0) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &narrow[0], bytes, nullptr, nullptr);
  return narrow;
}

COLORREF ToColorRef(const Colour& c) {
  return RGB(static_cast<BYTE>(c.R), static_cast<BYTE>(c.G), static_cast<BYTE>(c.B));
}

// Space, the arrows, digits and letters as the controls' key codes 0..40; -1 for any other key.
// The arrows by name; the virtual keys of space, digits and letters are their characters.
EditorKey KeyOf(WPARAM key) {
  switch (key) {
    case VK_UP: return kKeyUp;
    case VK_DOWN: return kKeyDown;
    case VK_LEFT: return kKeyLeft;
    case VK_RIGHT: return kKeyRight;
    default: return key < 0x80 ? EditorKeyOfCharacter(static_cast<int>(key)) : kKeyNone;
  }
}

// The colour chooser shows the prompt as its title.
UINT_PTR CALLBACK ColourHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lParam);
    if (choose && choose->lCustData) SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(choose->lCustData));
  }
  return 0;
}

struct OwnerSearch {
  const char* className;
  DWORD process;
  HWND found;
};

BOOL CALLBACK FindTopLevelOfClass(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<OwnerSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process) return TRUE;
  char name[256] = {};
  GetClassNameA(window, name, sizeof(name));
  if (std::strcmp(name, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

std::string FolderOfModule(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string text(path, length);
  const size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
}

}  // namespace

HWND IGraphicsWin::MessageOwner() {
  if (mWindow && IsWindow(mWindow)) {
    HWND outer = mWindow;
    while (HWND parent = GetParent(outer)) outer = parent;
    char name[256] = {};
    GetClassNameA(outer, name, sizeof(name));
    mOwner = outer;
    mOwnerClass = name;
    return outer;
  }
  if (mOwnerClass.empty()) return nullptr;
  OwnerSearch search{mOwnerClass.c_str(), GetCurrentProcessId(), nullptr};
  EnumWindows(FindTopLevelOfClass, reinterpret_cast<LPARAM>(&search));
  mOwner = search.found;
  return mOwner;
}

int IGraphicsWin::ShowMessage(const char* text, const char* caption, int type) {
  // Texts may carry UTF-8 file names; the wide message box shows them whatever the code page.
  const std::wstring wideText = Widen(text ? text : "");
  const std::wstring wideCaption = Widen(caption ? caption : "");
  return MessageBoxW(MessageOwner(), wideText.c_str(), wideCaption.c_str(), static_cast<UINT>(type));
}

std::string IGraphicsWin::FileFilter(const char* extensions) {
  std::string patterns;
  for (const std::string& extension : FileExtensions(extensions)) {
    if (!patterns.empty()) patterns += ';';
    patterns += "*." + extension;
  }
  // Description and pattern, each terminated, then the list's own terminator.
  std::string filter = patterns + '\0' + patterns + '\0' + '\0';
  if (filter.size() > 256) return {};
  return filter;
}

std::string IGraphicsWin::DefaultExtension(const char* extensions) {
  const std::vector<std::string> list = FileExtensions(extensions);
  return list.empty() ? std::string() : list.front().substr(0, 15);
}

void IGraphicsWin::PromptForFile(std::string& file, int action, std::string& folder, const char* extensions) {
  if (!mWindow) {
    file.clear();
    return;
  }
  // The wide dialog, so that any name the user picks survives; the chosen path comes back as UTF-8,
  // which the file functions take (and they still accept paths in the system code page).
  constexpr DWORD kPathCapacity = 4096;
  std::wstring path = Widen(file.substr(0, 255));
  path.resize(kPathCapacity, L'\0');
  const std::wstring initialFolder = Widen(folder.empty() ? DesktopFolder() : folder);
  const std::string filter = FileFilter(extensions);
  std::wstring wideFilter;
  for (char c : filter) wideFilter += static_cast<wchar_t>(static_cast<unsigned char>(c));
  const std::wstring defaultExtension = Widen(DefaultExtension(extensions));

  OPENFILENAMEW dialog;
  std::memset(&dialog, 0, sizeof(dialog));
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = mWindow;
  dialog.lpstrFilter = wideFilter.empty() ? nullptr : wideFilter.c_str();
  dialog.lpstrFile = &path[0];
  dialog.nMaxFile = kPathCapacity;
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrDefExt = defaultExtension.c_str();
  BOOL chosen;
  if (action == kFileSave) {
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    chosen = GetSaveFileNameW(&dialog);
  } else {
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameW(&dialog);
  }
  if (!chosen) {
    file.clear();
    return;
  }
  const std::wstring chosenPath(path.c_str());
  // Drive and directory of the chosen file: everything up to the last separator.
  const size_t cut = chosenPath.find_last_of(L"\\/");
  const std::wstring chosenFolder = cut == std::wstring::npos ? std::wstring() : chosenPath.substr(0, cut + 1);
  folder = Narrow(chosenFolder.c_str(), static_cast<int>(chosenFolder.size()));
  file = Narrow(chosenPath.c_str(), static_cast<int>(chosenPath.size()));
}

bool IGraphicsWin::OpenWebAddress(const char* url, const char* caption, const char* question,
                                  const char* failureText) {
  if (question && question[0] && ShowMessage(question, caption, kMessageYesNo) != kAnswerYes) return false;
  DWORD state = 0;
  if (url && InternetGetConnectedState(&state, 0)) {
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(mWindow, "open", url, nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return true;  // values up to 32 are errors
  }
  if (failureText && failureText[0]) ShowMessage(failureText, caption, kMessageOk);
  return false;
}

std::string IGraphicsWin::HostProgramFolder() { return FolderOfModule(nullptr); }

std::string IGraphicsWin::ModuleFolder() {
  HMODULE module = mModuleInstance;
  if (!module) {
    // The module that holds this code, when the plug-in has not handed its instance over yet.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&FolderOfModule), &module);
  }
  return module ? FolderOfModule(module) : std::string();
}

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height) {
  auto editor = std::make_unique<IGraphicsWin>(plug, width, height);
  // The module that holds this code holds the editor's images.
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&CreatePlatformEditor), &module);
  editor->SetModuleInstance(module);
  return editor;
}

// ---- The editor window ----

int IGraphicsWin::OpenWindowCount() {
  WindowClassState& state = ClassState();
  std::lock_guard<std::mutex> hold(state.lock);
  return state.openWindows;
}

bool IGraphicsWin::WindowClassRegistered() {
  WindowClassState& state = ClassState();
  std::lock_guard<std::mutex> hold(state.lock);
  return state.registered;
}

namespace {

// Drops the class when no editor window is left and none of its windows still exists.
void ReleaseWindowClass() {
  WindowClassState& state = ClassState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.openWindows == 0 && state.registered && UnregisterClassW(kWindowClass, state.instance)) {
    state.registered = false;
    state.instance = nullptr;
  }
}

}  // namespace

IGraphicsWin::~IGraphicsWin() {
  CloseWindow();
  ReleaseWindowClass();
  delete[] mCustomColours;
}

bool IGraphicsWin::IsWindowOpen() const { return mWindow && IsWindow(mWindow); }

namespace {

// Dots per inch of a window's monitor (Windows 10 1607 and later), or of the system; 96 is 100 %.
UINT DotsPerInch(HWND window) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  if (user && window) {
    using ForWindow = UINT(WINAPI*)(HWND);
    if (auto forWindow = reinterpret_cast<ForWindow>(reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))) {
      if (const UINT dpi = forWindow(window)) return dpi;
    }
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

int IGraphicsWin::DetectScale() { return DisplayScale::FromFactor(DotsPerInch(nullptr) / 96.0); }

void IGraphicsWin::WindowScaleChanged() {
  if (!mWindow) return;
  CloseTextEntry();
  SetWindowPos(mWindow, nullptr, 0, 0, ToPixels(mWidth), ToPixels(mHeight), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(mWindow, nullptr, FALSE);
}

bool IGraphicsWin::OpenWindow(void* parent) {
  HWND parentWindow = static_cast<HWND>(parent);
  if (!parentWindow || !IsWindow(parentWindow)) return false;
  // The monitor the host's window is on decides an automatic scale.
  SetDetectedScale(DisplayScale::FromFactor(DotsPerInch(parentWindow) / 96.0));
  ApplyWantedScale();
  int x = 0;
  int y = 0;
  int width = ToPixels(mWidth);
  int height = ToPixels(mHeight);
  if (IsWindowOpen()) {
    // Opened again without a close: the new window takes the old one's place and size.
    RECT old;
    GetWindowRect(mWindow, &old);
    MapWindowPoints(HWND_DESKTOP, parentWindow, reinterpret_cast<POINT*>(&old), 2);
    x = old.left;
    y = old.top;
    width = old.right - old.left;
    height = old.bottom - old.top;
  }
  CloseWindow();

  WindowClassState& state = ClassState();
  HINSTANCE instance = mModuleInstance ? mModuleInstance : GetModuleHandleW(nullptr);
  {
    std::lock_guard<std::mutex> hold(state.lock);
    if (!state.registered) {
      WNDCLASSW windowClass;
      std::memset(&windowClass, 0, sizeof(windowClass));
      windowClass.style = CS_DBLCLKS;
      windowClass.lpfnWndProc = WindowProc;
      windowClass.hInstance = instance;
      windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
      windowClass.lpszClassName = kWindowClass;
      if (!RegisterClassW(&windowClass)) return false;
      state.registered = true;
      state.instance = instance;
    }
    ++state.openWindows;
    state.frameRate = mFrameRate > 0 ? mFrameRate : 25;
  }
  mParent = parentWindow;
  HWND window = CreateWindowExW(0, kWindowClass, kWindowName, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width,
                                height, parentWindow, nullptr, state.instance, this);
  if (!window) {
    {
      std::lock_guard<std::mutex> hold(state.lock);
      --state.openWindows;
    }
    mParent = nullptr;
    ReleaseWindowClass();
    return false;
  }
  mWindow = window;
  MessageOwner();  // caches the host's top-level window and its class for later message boxes
  // The window's first paint comes before the first tick: the controls take the plug-in's values now,
  // since a control stores its first value without asking for a redraw.
  SyncFromPlugin();
  MarkAllDirty();
  return true;
}

void IGraphicsWin::CloseWindow() {
  if (mWindow) {
    CloseTextEntry();
    if (IsWindow(mWindow)) {
      DestroyWindow(mWindow);  // WM_NCDESTROY does the bookkeeping
    }
    if (mWindow) WindowDestroyed();
  }
  ReleaseWindowClass();
}

void IGraphicsWin::WindowDestroyed() {
  if (!mWindow) return;
  SetWindowLongPtrW(mWindow, GWLP_USERDATA, 0);
  mWindow = nullptr;
  mParent = nullptr;
  mPaintDC = nullptr;
  ReleaseMouseHold();
  WindowClassState& state = ClassState();
  std::lock_guard<std::mutex> hold(state.lock);
  if (state.openWindows > 0) --state.openWindows;
}

void IGraphicsWin::CopyToWindow(const Rect& rect) {
  if (!mSurface || !mWindow || rect.Empty()) return;
  HDC source = static_cast<HDC>(mSurface->DeviceContext());
  if (!source) return;
  HDC target = mPaintDC ? mPaintDC : GetDC(mWindow);
  if (!target) return;
  BitBlt(target, rect.left, rect.top, rect.W(), rect.H(), source, rect.left, rect.top, SRCCOPY);
  if (!mPaintDC) ReleaseDC(mWindow, target);
}

MouseMods IGraphicsWin::ModsFrom(WPARAM wParam) const {
  MouseMods mods;
  mods.left = (wParam & MK_LBUTTON) != 0;
  mods.right = (wParam & MK_RBUTTON) != 0;
  mods.shift = (wParam & MK_SHIFT) != 0;
  mods.control = (wParam & MK_CONTROL) != 0;
  mods.alt = GetKeyState(VK_MENU) < 0;
  return mods;
}

LRESULT CALLBACK IGraphicsWin::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(window, message, wParam, lParam);
}

LRESULT IGraphicsWin::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // While a new entry has the focus, only a press does something: it cancels the entry.
  if (mEntryWindow && mEntryState == kEntryFocused) {
    switch (message) {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
        mEntryState = kEntryCancel;
        return 0;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        // The release of the press that opened the entry: the capture taken for that press is given
        // back and its control hears the release, so that neither stays held.
        ::ReleaseCapture();
        HandleWindowEvent({WindowEvent::kRelease, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ModsFrom(wParam)});
        return 0;
      case WM_MOUSEMOVE:
      case WM_MBUTTONDOWN:
      case WM_LBUTTONDBLCLK:
      case WM_MOUSEWHEEL:
      case WM_KEYDOWN:
      case WM_KEYUP:
        return 0;
      default:
        break;
    }
  }

  switch (message) {
    case WM_CREATE: {
      mWindow = window;
      const int rate = mFrameRate > 0 ? mFrameRate : 25;
      SetTimer(window, kTimerId, static_cast<UINT>(1000 / rate), nullptr);
      SetFocus(window);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimerId) Tick();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      RECT update;
      if (GetUpdateRect(window, &update, FALSE)) {
        PAINTSTRUCT paint;
        mPaintDC = BeginPaint(window, &paint);
        // The face units whose pixels the update touches.
        const Rect area(ToUnits(paint.rcPaint.left), ToUnits(paint.rcPaint.top), ToUnits(paint.rcPaint.right - 1) + 1,
                        ToUnits(paint.rcPaint.bottom - 1) + 1);
        if (mPaintDC && !area.Empty()) PaintArea(area);
        EndPaint(window, &paint);
        mPaintDC = nullptr;
      } else {
        ValidateRect(window, nullptr);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (mEntryWindow) {
        mEntryState = kEntryCommit;
        return 0;
      }
      SetFocus(window);
      SetCapture(window);
      mLastDragX = GET_X_LPARAM(lParam);
      mLastDragY = GET_Y_LPARAM(lParam);
      HandleWindowEvent({WindowEvent::kPress, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ModsFrom(wParam)});
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      ::ReleaseCapture();
      HandleWindowEvent({WindowEvent::kRelease, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ModsFrom(wParam)});
      return 0;
    case WM_LBUTTONDBLCLK:
      if (HandleWindowEvent({WindowEvent::kDoubleClick, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), ModsFrom(wParam)})) {
        SetCapture(window);
      }
      return 0;
    case WM_MOUSEMOVE: {
      const int x = GET_X_LPARAM(lParam);
      const int y = GET_Y_LPARAM(lParam);
      const MouseMods mods = ModsFrom(wParam);
      if (mods.left || mods.right) {
        // Only the window's own press drags, and only when the mouse moved.
        if (GetCapture() != window || mEntryWindow || (x == mLastDragX && y == mLastDragY)) return 0;
        mLastDragX = x;
        mLastDragY = y;
      }
      HandleWindowEvent({WindowEvent::kMove, x, y, mods});
      return 0;
    }
    case WM_MOUSELEAVE:
      HandleWindowEvent({WindowEvent::kLeave});
      return 0;
    case WM_MOUSEWHEEL: {
      if (mEntryWindow) {
        mEntryState = kEntryCancel;
        return 0;
      }
      RECT frame;
      GetWindowRect(window, &frame);
      const int x = GET_X_LPARAM(lParam) - frame.left;
      const int y = GET_Y_LPARAM(lParam) - frame.top;
      HandleWindowEvent({WindowEvent::kWheel, x, y, ModsFrom(GET_KEYSTATE_WPARAM(wParam)), GET_WHEEL_DELTA_WPARAM(wParam)});
      return 0;
    }
    case WM_KEYDOWN: {
      if (mForwardingKey) return 0;  // a host that hands the key straight back to us
      POINT cursor;
      GetCursorPos(&cursor);
      ScreenToClient(window, &cursor);
      if (HandleWindowEvent({WindowEvent::kKey, cursor.x, cursor.y, {}, 0, KeyOf(wParam)})) return 0;
      return ForwardKey(window, message, wParam, lParam);
    }
    case WM_KEYUP:
      return mForwardingKey ? 0 : ForwardKey(window, message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_CTLCOLOREDIT:
      if (reinterpret_cast<HWND>(lParam) == mEntryWindow && mEntryWindow) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, mEntryBackColour);
        SetTextColor(dc, mEntryTextColour);
        return reinterpret_cast<LRESULT>(mEntryBrush);
      }
      break;
    case WM_CLOSE:
      CloseWindow();
      return 0;
    case WM_DESTROY:
      KillTimer(window, kTimerId);
      CloseTextEntry();
      return 0;
    case WM_NCDESTROY:
      WindowDestroyed();
      return DefWindowProcW(window, message, wParam, lParam);
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT IGraphicsWin::ForwardKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND top = GetAncestor(window, GA_ROOT);
  if (!top || top == window) return 0;
  mForwardingKey = true;
  const LRESULT result = SendMessageW(top, message, wParam, lParam);
  mForwardingKey = false;
  return result;
}

void IGraphicsWin::Tick() {
  if (!mWindow) return;
  if (mEntryWindow && mEntryState != kEntryIdle) {
    HandleEntryTick();
    return;
  }
  Rect area;
  if (!CollectDirtyArea(area)) return;
  RECT dirty{area.left, area.top, area.right, area.bottom};
  InvalidateRect(mWindow, &dirty, FALSE);
  if (mEntryWindow && mEntryControl) {
    const Rect& r = mEntryControl->DrawRect();
    RECT keep{r.left, r.top, r.right, r.bottom};
    ValidateRect(mWindow, &keep);
    mEntryState = kEntryPainted;
  }
  UpdateWindow(mWindow);
}

// ---- Text entry ----

void IGraphicsWin::OpenTextEntry(IControl* control, const TextStyle& style, const Rect& faceRect,
                                 const std::string& text, int parameter) {
  if (!control || mEntryWindow || !mWindow) return;
  // Over the control in window pixels, writing at the face's scale.
  const Rect rect = ToPixels(faceRect);
  DWORD align = ES_LEFT;
  if (style.align == TextStyle::kAlignCentre) align = ES_CENTER;
  if (style.align == TextStyle::kAlignRight) align = ES_RIGHT;
  const std::wstring wide = Widen(text);
  HWND entry = CreateWindowExW(0, L"EDIT", wide.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | align, rect.left,
                               rect.top, rect.right - rect.left + 1, rect.bottom - rect.top + 1, mWindow,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEntryControlId)),
                               reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(mWindow, GWLP_HINSTANCE)), nullptr);
  if (!entry) return;
  const std::wstring face = Widen(style.face.substr(0, 31));
  mEntryFont = CreateFontW(ToPixels(style.size), 0, 0, 0, style.style == TextStyle::kBold ? FW_BOLD : FW_NORMAL,
                           style.style == TextStyle::kItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face.c_str());
  if (mEntryFont) SendMessageW(entry, WM_SETFONT, reinterpret_cast<WPARAM>(mEntryFont), FALSE);
  mEntryTextColour = ToColorRef(style.entryText);
  mEntryBackColour = ToColorRef(style.entryBackground);
  mEntryBrush = CreateSolidBrush(mEntryBackColour);

  mEntryWindow = entry;
  mEntryControl = control;
  mEntryParameter = parameter;
  mEntryBoolean = false;
  EditorParameter definition;
  if (parameter >= 0 && mPlug && mPlug->DescribeParameter(parameter, definition)) mEntryBoolean = definition.isBoolean;
  mEntryState = kEntryIdle;
  SendMessageW(entry, EM_LIMITTEXT, static_cast<WPARAM>(control->TextEntryLength()), 0);
  SendMessageW(entry, EM_SETSEL, 0, -1);
  SetWindowLongPtrW(entry, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  mEntryPreviousProc =
      reinterpret_cast<WNDPROC>(SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EntryProc)));
  SetFocus(entry);
}

void IGraphicsWin::CancelTextEntry() {
  if (mEntryWindow) mEntryState = kEntryCancel;
}

void IGraphicsWin::CloseTextEntry() {
  if (mEntryWindow) {
    HWND entry = mEntryWindow;
    mEntryWindow = nullptr;  // first: destroying it moves the focus, which must not commit anything
    if (IsWindow(entry)) {
      if (mEntryPreviousProc) SetWindowLongPtrW(entry, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(mEntryPreviousProc));
      SetWindowLongPtrW(entry, GWLP_USERDATA, 0);
      const bool hadFocus = GetFocus() == entry;
      DestroyWindow(entry);
      if (hadFocus && mWindow && IsWindow(mWindow)) SetFocus(mWindow);
    }
  }
  if (mEntryFont) DeleteObject(mEntryFont);
  if (mEntryBrush) DeleteObject(mEntryBrush);
  mEntryFont = nullptr;
  mEntryBrush = nullptr;
  mEntryPreviousProc = nullptr;
  mEntryControl = nullptr;
  mEntryParameter = -1;
  mEntryBoolean = false;
  mEntryState = kEntryIdle;
}

void IGraphicsWin::HandleEntryTick() {
  switch (mEntryState) {
    case kEntryCommit: {
      wchar_t buffer[32] = {};
      const int length = GetWindowTextW(mEntryWindow, buffer, 32);
      const std::string text = Narrow(buffer, length);
      IControl* control = mEntryControl;
      const int parameter = mEntryParameter;
      CloseTextEntry();
      ApplyTextEntry(control, parameter, text);
      break;
    }
    case kEntryCancel:
      CloseTextEntry();
      break;
    default:
      mEntryState = kEntryIdle;
      break;
  }
}

LRESULT CALLBACK IGraphicsWin::EntryProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleEntryMessage(window, message, wParam, lParam);
}

LRESULT IGraphicsWin::HandleEntryMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = mEntryPreviousProc;
  switch (message) {
    case WM_SETFOCUS:
      mEntryState = kEntryFocused;
      break;
    case WM_KILLFOCUS:
      mEntryState = kEntryCommit;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        mEntryState = kEntryCommit;
        return 0;
      }
      if (wParam == VK_ESCAPE) {
        mEntryState = kEntryCancel;
        return 0;
      }
      break;
    case WM_CHAR:
      // Enter and Escape were handled as keys; their characters would only beep.
      if (wParam == '\r' || wParam == 27) return 0;
      if (mEntryParameter >= 0 && wParam != '\b') {
        const bool digit = wParam >= '0' && wParam <= '9';
        const bool sign = wParam == '+' || wParam == '-';
        const bool point = wParam == '.' && !mEntryBoolean;
        if (!digit && !sign && !point) return 0;
      }
      break;
    case WM_GETDLGCODE:
      // A plain text entry keeps Enter from the host's dialog handling.
      if (mEntryParameter < 0) return DLGC_WANTALLKEYS | CallWindowProcW(previous, window, message, wParam, lParam);
      break;
    default:
      break;
  }
  return previous ? CallWindowProcW(previous, window, message, wParam, lParam)
                  : DefWindowProcW(window, message, wParam, lParam);
}

// ---- Menus ----

namespace {

void BuildNativeMenu(HMENU native, PopupMenu& menu, const std::vector<PopupMenu*>& order,
                     const std::vector<int>& bases) {
  int base = 0;
  for (size_t m = 0; m < order.size(); ++m) {
    if (order[m] == &menu) base = bases[m];
  }
  for (int i = 0; i < menu.NItems(); ++i) {
    PopupMenuItem* item = menu.Item(i);
    if (item->IsSeparator()) {
      AppendMenuW(native, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const std::wstring text = Widen(menu.DisplayText(i));
    if (item->submenu) {
      HMENU sub = CreatePopupMenu();
      BuildNativeMenu(sub, *item->submenu, order, bases);
      AppendMenuW(native, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str());
      continue;
    }
    UINT flags = MF_STRING;
    if (item->flags & PopupMenuItem::kGreyed) flags |= MF_GRAYED;
    if (item->flags & PopupMenuItem::kDisabled) flags |= MF_DISABLED;
    if (item->flags & PopupMenuItem::kChecked) flags |= MF_CHECKED;
    // Native identifiers are one above the command ids: the tracker reports 0 for no choice.
    AppendMenuW(native, flags, static_cast<UINT_PTR>(base + i + 1), text.c_str());
  }
}

}  // namespace

PopupMenu* IGraphicsWin::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ::ReleaseCapture();
  IGraphics::ShowPopupMenu(menu, rect);  // forgets the captured control
  if (!mWindow) return nullptr;
  // Each menu takes the next block of command ids, depth-first.
  std::vector<PopupMenu*> order;
  menu.CollectMenus(order);
  std::vector<int> bases;
  int next = 0;
  for (PopupMenu* m : order) {
    bases.push_back(next);
    next += m->NItems();
  }
  HMENU native = CreatePopupMenu();
  if (!native) return nullptr;
  BuildNativeMenu(native, menu, order, bases);
  POINT at{ToPixels(rect.left), ToPixels(rect.bottom)};
  ClientToScreen(mWindow, &at);
  const int command = static_cast<int>(
      TrackPopupMenu(native, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, mWindow, nullptr));
  DestroyMenu(native);
  if (mWindow) InvalidateRect(mWindow, nullptr, FALSE);
  if (command <= 0) return nullptr;
  int position = -1;
  PopupMenu* chosen = menu.FindCommand(command - 1, position);
  if (!chosen || position < 0) return nullptr;
  chosen->SetChosenPosition(position);
  return chosen;
}

// ---- Other services ----

bool IGraphicsWin::PromptForColour(Colour& colour, const char* prompt) {
  if (!IsWindowOpen()) return false;
  if (!mCustomColours) {
    mCustomColours = new COLORREF[16];
    for (int i = 0; i < 16; ++i) mCustomColours[i] = RGB(255, 255, 255);
  }
  const std::wstring title = Widen(prompt ? prompt : "");
  CHOOSECOLORW choose;
  std::memset(&choose, 0, sizeof(choose));
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = mWindow;
  choose.rgbResult = ToColorRef(colour);
  choose.lpCustColors = mCustomColours;
  choose.Flags = CC_RGBINIT | CC_ENABLEHOOK;
  choose.lpfnHook = ColourHook;
  choose.lCustData = title.empty() ? 0 : reinterpret_cast<LPARAM>(title.c_str());
  if (!ChooseColorW(&choose)) return false;
  colour.R = GetRValue(choose.rgbResult);
  colour.G = GetGValue(choose.rgbResult);
  colour.B = GetBValue(choose.rgbResult);
  return true;
}

std::string IGraphicsWin::ClipboardText() {
  std::string text;
  if (!OpenClipboard(mWindow)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = Narrow(wide, static_cast<int>(wcslen(wide)));
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void IGraphicsWin::HideCursor() {
  if (mCursorHidden) return;
  POINT at;
  if (GetCursorPos(&at)) {
    mHiddenCursorX = at.x;
    mHiddenCursorY = at.y;
  }
  ShowCursor(FALSE);
  mCursorHidden = true;
}

void IGraphicsWin::RestoreCursor() {
  if (!mCursorHidden) return;
  if (mHiddenCursorX >= 0 && mHiddenCursorY >= 0) SetCursorPos(mHiddenCursorX, mHiddenCursorY);
  ShowCursor(TRUE);
  mCursorHidden = false;
}

std::unique_ptr<LICE_MemBitmap> IGraphicsWin::LoadImageResource(int resourceId, const char* fileName) {
  if (!fileName) return nullptr;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot || std::strlen(dot + 1) != 3) return nullptr;
  for (int i = 0; i < 3; ++i) {
    if ((dot[1 + i] | 0x20) != "png"[i]) return nullptr;
  }
  return LoadPngResource(mModuleInstance, resourceId);
}
