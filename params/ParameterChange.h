// Moves a parameter's current value into the sound engine: the one place where parameter
// values become engine quantities.
#pragma once

class Engine;
class IPlugParam;

// `params` holds the instrument's 60 parameters; `index` must be 0..59 (others are ignored).
// Parameter 37's display function follows parameter 41 (note values while synced).
void ApplyParameterToEngine(Engine& engine, IPlugParam* params, int index);
