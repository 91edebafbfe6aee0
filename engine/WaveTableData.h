// The tone generator's normal wave tables: kNumTables tables of kTableLength entries sampled from
// their Fourier series (engine/WaveSeries.h) at build time, then one all-zero table that silent
// footages read. engine/WaveTableData.cpp is written by sarn-make-wave-tables.
#pragma once

#include "engine/WaveSeries.h"

extern const double kWaveTableData[(wave_series::kNumTables + 1) * wave_series::kTableLength];
