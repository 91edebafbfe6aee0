// The editor of the platform being built: the Windows window layer in the Windows modules, the headless
// layer in the Linux module (which has no window layer of its own yet).
#pragma once

#include <memory>

#include "editor/IGraphics.h"

std::unique_ptr<IGraphics> CreatePlatformEditor(EditorHost* plug, int width, int height);
