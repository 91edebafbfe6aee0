// The fixed render that the three builds of one plug-in write, and the files to compare.
#pragma once

#include <string>
#include <vector>

// Where the FixedRender suite writes the render of the loaded module.
void SetRenderOutput(const std::string& path);
// The renders the RenderComparison suite reads: the first is the reference.
void SetComparedRenders(const std::vector<std::string>& paths);
