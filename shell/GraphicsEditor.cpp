#include "shell/GraphicsEditor.h"

GraphicsEditor::GraphicsEditor(IPlugBase& plug, int width, int height, Factory make)
    : mHost(plug), mGraphics(make(&mHost, width, height)) {}
