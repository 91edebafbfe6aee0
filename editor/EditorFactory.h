// The editor of the window layer the module or program links: the Windows layer in the Windows
// modules and programs, the X11 layer in the Linux modules, the headless layer in the Linux tests and
// tools. Each layer's library defines it.
#pragma once

#include <memory>

#include "editor/IGraphics.h"

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height);
