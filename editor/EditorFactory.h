// The editor of the platform being built: the Windows window layer in the Windows modules, the X11
// layer in the Linux module, and the headless layer in the Linux tests and tools.
#pragma once

#include <memory>

#include "editor/IGraphics.h"

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height);
