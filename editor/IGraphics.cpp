#include "editor/IGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "editor/DisplayScale.h"
#include "editor/EditorHost.h"
#include "editor/IControl.h"
#include "editor/PopupMenu.h"
#include "editor/StandardControls.h"
#include "editor/UserFolders.h"
#include "raster/Bitmap.h"
#include "raster/Blit.h"
#include "raster/CachedFont.h"
#include "raster/PngDecoder.h"
#include "raster/Resample.h"

namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != PathSeparator()) folder += PathSeparator();
  return folder;
}

// Image resources are PNG files: names ending in "png", any case.
bool HasPngExtension(const char* fileName) {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  if (!dot) return false;
  std::string extension(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == "png";
}

// Images by resource identifier, for the life of the process: each identifier is decoded once however
// many editors ask for it. A built-in image is decoded when it is first drawn, not when a face is built.
struct ImageCache {
  struct Entry {
    int id;
    std::unique_ptr<LICE_IBitmap> bitmap;  // null when the image could not be had
  };
  std::mutex lock;
  std::vector<Entry> entries;
};

ImageCache& Images() {
  static ImageCache cache;
  return cache;
}

// The identifiers of an image drawn at 150 % and 200 % follow its own by these steps.
constexpr int kImageIdStep150 = 100;
constexpr int kImageIdStep200 = 200;

// Strips made from the 100 % image for a scale at which none was drawn (the images of tests and of
// a module built without them), once per image and scale.
struct ResampledImages {
  struct Entry {
    const LICE_IBitmap* source;
    int percent;
    std::unique_ptr<LICE_IBitmap> bitmap;
  };
  std::mutex lock;
  std::vector<Entry> entries;
};

LICE_IBitmap* ResampledStrip(const BitmapStrip& strip, int percent) {
  static ResampledImages cache;
  std::lock_guard<std::mutex> guard(cache.lock);
  for (const ResampledImages::Entry& entry : cache.entries) {
    if (entry.source == strip.bitmap && entry.percent == percent) return entry.bitmap.get();
  }
  cache.entries.push_back({strip.bitmap, percent, ResampleStrip(*strip.bitmap, strip.frames, strip.sideBySide, percent)});
  return cache.entries.back().bitmap.get();
}

// The strip's image for a scale.
LICE_IBitmap* BitmapAt(const BitmapStrip& strip, int percent) {
  if (percent == DisplayScale::kNormal || !strip.bitmap) return strip.bitmap;
  LICE_IBitmap* drawn = percent == DisplayScale::kLarge ? strip.bitmap150 : strip.bitmap200;
  return drawn ? drawn : ResampledStrip(strip, percent);
}

// A drawn image fits a scale when its frames are ceil(size * scale) pixels.
bool FitsScale(const LICE_IBitmap* image, const BitmapStrip& strip, int percent) {
  if (!image) return false;
  const auto ceilScaled = [percent](int size) { return static_cast<int>((static_cast<long long>(size) * percent + 99) / 100); };
  const int frames = std::max(strip.frames, 1);
  const int width = strip.sideBySide ? ceilScaled(strip.FrameWidth()) * frames : ceilScaled(strip.width);
  const int height = strip.sideBySide ? ceilScaled(strip.height) : ceilScaled(strip.FrameHeight()) * frames;
  return image->Width() == width && image->Height() == height;
}

// Fonts shared by size, orientation, style and face.
struct FontCache {
  struct Entry {
    int size;
    int orientation;
    int style;
    std::string face;
    std::unique_ptr<LICE_CachedFont> font;  // null when no font matched
  };
  std::mutex lock;
  std::vector<Entry> entries;
  int created = 0;
  // A shared font's text colour is set just before it draws: editors on other threads must not set
  // theirs in between.
  std::mutex drawing;
};

FontCache& Fonts() {
  static FontCache cache;
  return cache;
}

LICE_IFont* FindOrCreateFont(const TextStyle& style) {
  FontCache& cache = Fonts();
  std::lock_guard<std::mutex> guard(cache.lock);
  for (const FontCache::Entry& entry : cache.entries) {
    if (entry.size == style.size && entry.orientation == style.orientation && entry.style == style.style &&
        entry.face == style.face) {
      return entry.font.get();
    }
  }
  LICE_FontDescription description;
  description.face = style.face;
  description.height = style.size;
  description.weight = style.style == TextStyle::kBold ? 700 : 400;
  description.italic = style.style == TextStyle::kItalic;
  description.quality = style.quality;
  description.orientation = style.orientation * 10;
  std::unique_ptr<LICE_CachedFont> font;
  if (LICE_FontHandle handle = LICE_CreateFont(description)) {
    font = std::make_unique<LICE_CachedFont>();
    if (font->SetFromHandle(handle, LICE_CachedFont::kOwnsHandle | LICE_CachedFont::kPreferNative)) {
      ++cache.created;
    } else {
      font.reset();
    }
  }
  cache.entries.push_back({style.size, style.orientation, style.style, style.face, std::move(font)});
  return cache.entries.back().font.get();
}

// The style's font at a pixel height (the style's size scaled to the surface).
LICE_IFont* FontFor(TextStyle& style, int pixelSize) {
  if (!style.cachedFont || style.cachedFontSize != pixelSize) {
    TextStyle sized = style;
    sized.size = pixelSize;
    style.cachedFont = FindOrCreateFont(sized);
    style.cachedFontSize = pixelSize;
  }
  return style.cachedFont;
}

LICE_pixel ToPixel(const Colour& c) { return LICE_RGBA(c.R, c.G, c.B, c.A); }

int TextFlags(const TextStyle& style, const Colour& colour) {
  int flags = LICE_DT_NOCLIP;
  if (style.align == TextStyle::kAlignCentre) flags |= LICE_DT_CENTER;
  if (style.align == TextStyle::kAlignRight) flags |= LICE_DT_RIGHT;
  if (colour.A != 255) flags |= LICE_DT_USEFGALPHA;
  return flags;
}

bool Overlaps(const Rect& area, const Rect& control) {
  return area.right >= control.left && area.left < control.right && area.bottom >= control.top &&
         area.top < control.bottom;
}

Rect Intersection(const Rect& a, const Rect& b) {
  return Rect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom));
}

uint64_t DoubleBits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

double BitsDouble(uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace

static_assert(std::atomic<uint64_t>::is_always_lock_free, "parameter handover must not lock");

IGraphics::IGraphics(EditorHost* plug, int width, int height) : mPlug(plug), mWidth(width), mHeight(height) {}

IGraphics::~IGraphics() { DeleteControls(); }

void IGraphics::DeleteControls() {
  while (!mControls.empty()) mControls.pop_back();
  mCaptured = mHovered = -1;
  mKeyCatcher = nullptr;
}

void IGraphics::CreateSurface() {
  mSurface = std::make_unique<LICE_SysBitmap>(ToPixels(mWidth), ToPixels(mHeight));
  mScratch = std::make_unique<LICE_MemBitmap>();
}

// ---- Plug-in side ----

void IGraphics::AttachToPlugin(int parameterCount) {
  if (parameterCount > mMailboxSize) {
    mMailbox = std::make_unique<MailboxSlot[]>(static_cast<size_t>(parameterCount));
    mMailboxSize = parameterCount;
  }
  CreateSurface();
}

void IGraphics::ApplyParameterFromPlugin(int index, double value, bool normalized) {
  if (index < 0 || index >= mMailboxSize) return;
  if (!normalized) {
    EditorParameter parameter;
    if (!mPlug || !mPlug->DescribeParameter(index, parameter)) return;
    value = parameter.ToNormalized(value);
  }
  MailboxSlot& slot = mMailbox[static_cast<size_t>(index)];
  slot.bits.store(DoubleBits(value), std::memory_order_relaxed);
  slot.pending.store(true, std::memory_order_release);
  mAnyPending.store(true, std::memory_order_release);
}

void IGraphics::DropPendingValue(int index) {
  if (index < 0 || index >= mMailboxSize) return;
  mMailbox[static_cast<size_t>(index)].pending.store(false, std::memory_order_relaxed);
}

void IGraphics::SyncFromPlugin() {
  // A quiet tick costs one load.
  if (!mAnyPending.load(std::memory_order_acquire) || !mAnyPending.exchange(false, std::memory_order_acq_rel)) {
    return;
  }
  for (int i = 0; i < mMailboxSize; ++i) {
    MailboxSlot& slot = mMailbox[static_cast<size_t>(i)];
    if (!slot.pending.load(std::memory_order_relaxed)) continue;
    if (slot.pending.exchange(false, std::memory_order_acquire)) {
      PushToControls(i, BitsDouble(slot.bits.load(std::memory_order_relaxed)));
    }
  }
  for (auto& control : mControls) {
    if (control->TakeRedrawRequest()) control->RedrawRequested();
  }
}

void IGraphics::PushToControls(int index, double normalized) {
  for (auto& control : mControls) {
    if (control->ParameterIndex() == index) {
      control->SetValueFromPlugin(normalized);
      continue;
    }
    std::vector<IControl::AuxParameter>& aux = control->AuxParameters();
    for (size_t j = 0; j < aux.size(); ++j) {
      if (aux[j].index == index) {
        control->SetAuxValueFromPlugin(static_cast<int>(j), normalized);
        break;
      }
    }
  }
}

// ---- Controls ----

LICE_IBitmap* IGraphics::CachedImage(int resourceId, const char* fileName, bool builtInOnly) {
  ImageCache& cache = Images();
  std::lock_guard<std::mutex> guard(cache.lock);
  auto found = std::find_if(cache.entries.begin(), cache.entries.end(),
                            [resourceId](const ImageCache::Entry& e) { return e.id == resourceId; });
  if (found != cache.entries.end()) return found->bitmap.get();
  std::unique_ptr<LICE_IBitmap> image;
  if (HasPngExtension(fileName)) image = LoadPngResourceOnDemand(ImageModule(), resourceId);
  if (!image && !builtInOnly) image = LoadImageResource(resourceId, fileName);
  cache.entries.push_back({resourceId, std::move(image)});
  return cache.entries.back().bitmap.get();
}

BitmapStrip IGraphics::LoadBitmapStrip(int resourceId, const char* fileName, int frames) {
  LICE_IBitmap* bitmap = CachedImage(resourceId, fileName, false);
  BitmapStrip strip;
  strip.bitmap = bitmap;
  strip.width = bitmap ? bitmap->Width() : 0;
  strip.height = bitmap ? bitmap->Height() : 0;
  strip.frames = std::max(frames, 1);
  if (bitmap) {
    // The images drawn at the larger scales, when the module has them in the right size; otherwise
    // they are made from this one when first drawn.
    LICE_IBitmap* large = CachedImage(resourceId + kImageIdStep150, fileName, true);
    LICE_IBitmap* largest = CachedImage(resourceId + kImageIdStep200, fileName, true);
    strip.bitmap150 = FitsScale(large, strip, DisplayScale::kLarge) ? large : nullptr;
    strip.bitmap200 = FitsScale(largest, strip, DisplayScale::kLargest) ? largest : nullptr;
  }
  return strip;
}

void IGraphics::AddBackground(int resourceId, const char* fileName) {
  const BitmapStrip strip = LoadBitmapStrip(resourceId, fileName, 1);
  auto background = std::make_unique<IBitmapControl>(mPlug, 0, 0, -1, strip, Blend::kCopy);
  background->SetGraphics(this);
  mControls.insert(mControls.begin(), std::move(background));
  if (mCaptured >= 0) ++mCaptured;
  if (mHovered >= 0) ++mHovered;
}

IControl* IGraphics::AddControl(IControl* control) {
  if (!control) return nullptr;
  control->SetGraphics(this);
  mControls.emplace_back(control);
  return control;
}

IControl* IGraphics::GetControl(int index) const {
  return index >= 0 && index < NControls() ? mControls[static_cast<size_t>(index)].get() : nullptr;
}

int IGraphics::IndexOf(const IControl* control) const {
  for (int i = 0; i < NControls(); ++i) {
    if (mControls[static_cast<size_t>(i)].get() == control) return i;
  }
  return -1;
}

void IGraphics::MarkAllDirty() {
  for (auto& control : mControls) control->MarkDirty(false);
}

void IGraphics::SetSize(int width, int height) {
  if (width == mWidth && height == mHeight) return;
  mWidth = std::max(width, 0);
  mHeight = std::max(height, 0);
  DeleteControls();
  mSurface.reset();
  mScratch.reset();
  CreateSurface();
  if (mPlug) mPlug->ResizeEditor();
}

// ---- Display scale ----

void IGraphics::SetUserScale(int percent) {
  mUserScale.store(DisplayScale::IsSupported(percent) ? percent : 0, std::memory_order_relaxed);
}

void IGraphics::SetHostScale(double factor) {
  mHostScale.store(DisplayScale::FromFactor(factor), std::memory_order_relaxed);
}

int IGraphics::WantedScale() {
  const int user = mUserScale.load(std::memory_order_relaxed);
  if (user != 0) return user;
  const int host = mHostScale.load(std::memory_order_relaxed);
  if (host != 0) return host;
  int detected = mDetectedScale.load(std::memory_order_relaxed);
  if (detected < 0) {
    detected = DetectScale();
    if (!DisplayScale::IsSupported(detected)) detected = 0;
    mDetectedScale.store(detected, std::memory_order_relaxed);
  }
  return detected != 0 ? detected : DisplayScale::kNormal;
}

int IGraphics::WindowWidth() { return DisplayScale::ToPixels(mWidth, WantedScale()); }

int IGraphics::WindowHeight() { return DisplayScale::ToPixels(mHeight, WantedScale()); }

bool IGraphics::ApplyWantedScale() {
  const int wanted = WantedScale();
  if (wanted == mScale) return false;
  mScale = wanted;
  if (mSurface) {
    mSurface.reset();
    CreateSurface();
  }
  MarkAllDirty();
  if (IsWindowOpen()) WindowScaleChanged();
  if (mPlug) mPlug->ResizeEditor();
  return true;
}

int IGraphics::ToPixels(int units) const { return DisplayScale::ToPixels(units, mScale); }

Rect IGraphics::ToPixels(const Rect& rect) const {
  return Rect(ToPixels(rect.left), ToPixels(rect.top), ToPixels(rect.right), ToPixels(rect.bottom));
}

int IGraphics::ToUnits(int pixels) const { return DisplayScale::ToUnits(pixels, mScale); }

// ---- Redraw ----

bool IGraphics::CollectDirtyArea(Rect& rect) {
  ApplyWantedScale();
  SyncFromPlugin();
  rect = Rect();
  bool dirty = false;
  for (auto& control : mControls) {
    if (control->NeedsRedraw()) {
      rect = rect.Union(control->DrawRect());
      dirty = true;
    }
  }
  if (dirty) {
    mIdleTicks = 0;
    return true;
  }
  if (++mIdleTicks > kIdleTicks) {
    if (mPlug) mPlug->Idle();
    mIdleTicks = 0;
  }
  return false;
}

void IGraphics::PaintArea(const Rect& area) {
  if (mControls.empty()) return;
  mDrawRect = area;
  const bool areaEmpty = area.Empty();
  mPainting = true;
  for (auto& control : mControls) {
    const Rect& r = control->DrawRect();
    if (!control->IsHidden() && !areaEmpty && !r.Empty() && Overlaps(area, r)) control->Draw(*this);
  }
  mPainting = false;
  for (auto& control : mControls) control->MarkClean();
  CopyToWindow(ToPixels(area));
}

// ---- Input ----

bool IGraphics::HandleWindowEvent(const WindowEvent& event) {
  const int x = ToUnits(event.x);
  const int y = ToUnits(event.y);
  switch (event.type) {
    case WindowEvent::kPress:
      HandleMouseDown(x, y, event.mods);
      return mCaptured >= 0;
    case WindowEvent::kDoubleClick:
      return HandleDoubleClick(x, y, event.mods);
    case WindowEvent::kRelease:
      HandleMouseUp(x, y, event.mods);
      return false;
    case WindowEvent::kMove:
      if (event.mods.left || event.mods.right) {
        HandleMouseDrag(x, y, event.mods);
      } else {
        HandleMouseOver(x, y, event.mods);
      }
      return false;
    case WindowEvent::kWheel:
      HandleMouseWheel(x, y, event.mods, AccumulateWheel(event.wheelDelta));
      return false;
    case WindowEvent::kKey:
      return event.key != kKeyNone && HandleKeyDown(x, y, event.key);
    case WindowEvent::kLeave:
      HandleMouseOut();
      return false;
  }
  return false;
}

int IGraphics::FindControl(int x, int y) const {
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* control = mControls[static_cast<size_t>(i)].get();
    if (!control->IsHidden() && !control->IsGreyed() && control->HitTest(x, y)) return i;
  }
  return -1;
}

void IGraphics::HandleMouseDown(int x, int y, const MouseMods& mods) {
  mCaptured = -1;
  const int index = FindControl(x, y);
  if (index < 0) return;
  mCaptured = index;
  mMouseX = x;
  mMouseY = y;
  IControl* control = GetControl(index);
  BeginGesture(control->ParameterIndex());
  control->MouseDown(x, y, mods);
}

void IGraphics::HandleMouseUp(int x, int y, const MouseMods& mods) {
  const int index = mCaptured >= 0 ? mCaptured : FindControl(x, y);
  mCaptured = -1;
  IControl* control = GetControl(index);
  if (control) control->MouseUp(x, y, mods);
  EndGesture();
}

void IGraphics::BeginGesture(int parameter) {
  EndGesture();
  if (parameter < 0 || !mPlug) return;
  mPlug->BeginParameterEdit(parameter);
  mGesture = parameter;
}

void IGraphics::EndGesture() {
  if (mGesture >= 0 && mPlug) mPlug->EndParameterEdit(mGesture);
  mGesture = -1;
}

void IGraphics::ReleaseMouseHold() {
  if (mCaptured >= 0) HandleMouseUp(mMouseX, mMouseY, MouseMods());
}

int IGraphics::AccumulateWheel(int delta) {
  if ((delta > 0 && mWheelRemainder < 0) || (delta < 0 && mWheelRemainder > 0)) mWheelRemainder = 0;
  const long long total = static_cast<long long>(mWheelRemainder) + delta;
  const long long steps = total / 120;
  mWheelRemainder = static_cast<int>(total - steps * 120);
  return static_cast<int>(steps);
}

bool IGraphics::HandleDoubleClick(int x, int y, const MouseMods& mods) {
  mCaptured = -1;
  const int index = FindControl(x, y);
  IControl* control = GetControl(index);
  if (!control) return false;
  if (!control->DoubleClickAsPress()) {
    control->MouseDoubleClick(x, y, mods);
    return false;
  }
  mCaptured = index;
  mMouseX = x;
  mMouseY = y;
  BeginGesture(control->ParameterIndex());
  control->MouseDown(x, y, mods);
  return true;
}

void IGraphics::HandleMouseDrag(int x, int y, const MouseMods& mods) {
  IControl* control = GetControl(mCaptured);
  if (!control || (x == mMouseX && y == mMouseY)) return;
  control->MouseDrag(x, y, x - mMouseX, y - mMouseY, mods);
  mMouseX = x;
  mMouseY = y;
}

void IGraphics::HandleMouseWheel(int x, int y, const MouseMods& mods, int steps) {
  IControl* control = GetControl(mCaptured >= 0 ? mCaptured : FindControl(x, y));
  if (control) control->MouseWheel(x, y, mods, steps);
}

bool IGraphics::HandleKeyDown(int x, int y, int key) {
  const int index = mCaptured >= 0 ? mCaptured : FindControl(x, y);
  if (index <= 0) return mKeyCatcher ? mKeyCatcher->KeyDown(x, y, key) : false;
  return GetControl(index)->KeyDown(x, y, key);
}

bool IGraphics::HandleMouseOver(int x, int y, const MouseMods& mods) {
  if (!mMouseOverEnabled) return false;
  int index = -1;
  for (int i = NControls() - 1; i >= 0; --i) {
    const IControl* control = GetControl(i);
    if (control->IsHidden() || (control->IsGreyed() && !control->MouseOverWhenGreyed())) continue;
    if (control->HitTest(x, y)) {
      index = i;
      break;
    }
  }
  mMouseX = x;
  mMouseY = y;
  if (index != mHovered) {
    if (IControl* previous = GetControl(mHovered)) previous->MouseOut();
    mHovered = index;
  }
  if (IControl* control = GetControl(index)) control->MouseOver(x, y, mods);
  return true;
}

void IGraphics::HandleMouseOut() {
  for (auto& control : mControls) control->MouseOut();
  mHovered = -1;
}

// ---- Drawing services ----

bool IGraphics::DrawBitmapFrame(const BitmapStrip& strip, const Rect& rect, int frame, const Blend& blend) {
  LICE_IBitmap* bitmap = BitmapAt(strip, mScale);
  if (!bitmap || !mSurface) return false;
  int srcX = 0;
  int srcY = 0;
  if (strip.frames >= 2 && frame >= 2) {
    const int extent = strip.sideBySide ? bitmap->Width() : bitmap->Height();
    const int offset = static_cast<int>(static_cast<double>(extent) * (frame - 1) / strip.frames + 0.5);
    (strip.sideBySide ? srcX : srcY) = offset;
  }
  return DrawImage(*bitmap, ToPixels(rect), srcX, srcY, blend);
}

bool IGraphics::DrawBitmapRegion(const BitmapStrip& strip, const Rect& rect, int srcX, int srcY,
                                 const Blend& blend) {
  LICE_IBitmap* bitmap = BitmapAt(strip, mScale);
  if (!bitmap || !mSurface) return false;
  return DrawImage(*bitmap, ToPixels(rect), ToPixels(srcX), ToPixels(srcY), blend);
}

bool IGraphics::DrawImage(const LICE_IBitmap& image, const Rect& target, int srcX, int srcY, const Blend& blend) {
  // During a repaint only the area being repainted is drawn: a control that overlaps it is copied in
  // part, so moving one slider never redraws the whole background.
  Rect clipped = target;
  if (mPainting) clipped = Intersection(target, ToPixels(mDrawRect));
  if (clipped.W() <= 0 || clipped.H() <= 0) return true;
  const int sx = srcX + (clipped.left - target.left);
  const int sy = srcY + (clipped.top - target.top);
  const LICE_Rect source{sx, sy, sx + clipped.W(), sy + clipped.H()};
  const int mode = blend.mode == Blend::kCopy ? kBlitCopy : kBlitUseAlpha;
  Blit(mSurface.get(), &image, clipped.left, clipped.top, &source, blend.weight, mode);
  return true;
}

bool IGraphics::FillArea(const Colour& colour, const Rect& faceRect) {
  if (!mSurface) return false;
  const Rect rect = ToPixels(faceRect);
  const Rect target = mPainting ? Intersection(rect, ToPixels(mDrawRect)) : rect;
  if (target.W() <= 0 || target.H() <= 0) return true;
  FillBitmapRect(mSurface.get(), target.left, target.top, target.W(), target.H(), ToPixel(colour), 1.0f,
                 kBlitUseAlpha);
  return true;
}

bool IGraphics::DrawTextIn(TextStyle& style, const std::string& text, const Rect& faceRect) {
  if (text.empty()) return true;
  // Text is set at the surface's scale, not enlarged afterwards.
  LICE_IFont* font = FontFor(style, ToPixels(style.size));
  if (!font) return false;
  if (!mSurface) return true;
  std::lock_guard<std::mutex> guard(Fonts().drawing);
  font->SetTextColor(ToPixel(style.colour));
  const Rect rect = ToPixels(faceRect);
  LICE_Rect box{rect.left, rect.top, rect.right, rect.bottom};
  // While a repaint runs, text stays inside its area like everything else: the window shows the
  // surface outside the area as it is.
  const Rect clip = ToPixels(mDrawRect);
  const LICE_Rect area{clip.left, clip.top, clip.right, clip.bottom};
  font->DrawText(mSurface.get(), text.c_str(), static_cast<int>(text.size()), &box, TextFlags(style, style.colour),
                 mPainting ? &area : nullptr);
  return true;
}

bool IGraphics::MeasureText(TextStyle& style, const std::string& text, Rect& rect) {
  LICE_IFont* font = FontFor(style, style.size);
  if (!font) return false;
  LICE_Rect box{rect.left, rect.top, rect.right, rect.bottom};
  font->DrawText(nullptr, text.c_str(), static_cast<int>(text.size()), &box,
                 TextFlags(style, style.colour) | LICE_DT_CALCRECT);
  rect = Rect(box.left, box.top, box.right, box.bottom);
  return true;
}

int IGraphics::FontsCreated() {
  FontCache& cache = Fonts();
  std::lock_guard<std::mutex> guard(cache.lock);
  return cache.created;
}

void IGraphics::ApplyTextEntry(IControl* control, int parameter, const std::string& text) {
  if (!control) return;
  EditorParameter definition;
  if (parameter < 0 || !mPlug || !mPlug->DescribeParameter(parameter, definition)) {
    control->TextEntered(text);
    return;
  }
  double plain = 0.0;
  if (definition.isBoolean) {
    for (const auto& [value, shown] : definition.displayTexts) {
      if (shown == text) {
        plain = value;
        break;
      }
    }
  } else {
    // A number from the start of the text, as the plug-in reads its host's texts; none reads as 0.
    if (!mPlug->ReadNumber(text, plain)) plain = 0.0;
    if (definition.negatedDisplay) plain = -plain;
  }
  // A NaN, or a parameter whose range is empty, leaves the control as it is.
  if (!(definition.maximum - definition.minimum > 0.0) || std::isnan(plain)) return;
  control->SetValueFromUser(definition.ToNormalized(plain));
}

// ---- Platform services: the base has no window ----

void IGraphics::ResizeWindow(int width, int height) { SetSize(width, height); }

int IGraphics::ShowMessage(const char*, const char*, int) { return 0; }

PopupMenu* IGraphics::ShowPopupMenu(PopupMenu&, const Rect&) {
  mCaptured = -1;
  return nullptr;
}

void IGraphics::OpenTextEntry(IControl*, const TextStyle&, const Rect&, const std::string&, int) {}

void IGraphics::PromptForFile(std::string& file, int, std::string&, const char*) { file.clear(); }

std::vector<std::string> IGraphics::FileExtensions(const char* list) {
  std::vector<std::string> extensions;
  for (const char* p = list ? list : ""; *p;) {
    while (*p == ' ') ++p;
    const char* end = p;
    while (*end && *end != ' ') ++end;
    if (end > p) extensions.emplace_back(p, end);
    p = end;
  }
  return extensions;
}

bool IGraphics::PromptForColour(Colour&, const char*) { return false; }

bool IGraphics::OpenWebAddress(const char*, const char*, const char*, const char*) { return false; }

bool IGraphics::OpenWindow(void*) { return false; }

std::string IGraphics::HostProgramFolder() { return {}; }

std::string IGraphics::ModuleFolder() { return {}; }

std::string IGraphics::DesktopFolder() { return WithSeparator(::DesktopFolder()); }

std::string IGraphics::AppDataFolder(bool common) {
  return WithSeparator(common ? CommonAppDataFolder() : LocalAppDataFolder());
}

std::unique_ptr<LICE_MemBitmap> IGraphics::LoadImageResource(int resourceId, const char* fileName) {
  return HasPngExtension(fileName) ? LoadPngResource(nullptr, resourceId) : nullptr;
}
