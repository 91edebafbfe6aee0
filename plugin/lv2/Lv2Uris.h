// The identity of the LV2 plug-in and its UI, and the layout of its ports, shared by the binding,
// the UI and the description generator. The URIs sit on the maker's domain.
#pragma once

#include <cstdint>

#include "shell/VersionCheck.h"

#define SARN_LV2_URI "http://" SARN_MAKER_WEB_DOMAIN "/plugins/sarn"

constexpr const char* kLv2PluginUri = SARN_LV2_URI;
constexpr const char* kLv2UiUri = SARN_LV2_URI "#ui";
constexpr const char* kLv2PresetPrefix = SARN_LV2_URI "#preset";
// State properties: the bank chunk (all programs) and the current program's number.
constexpr const char* kLv2StateBank = SARN_LV2_URI "#bank";
constexpr const char* kLv2StateProgram = SARN_LV2_URI "#program";

// Port indices: the event input, the two outputs, then one control input per parameter in
// parameter order.
constexpr uint32_t kLv2PortEvents = 0;
constexpr uint32_t kLv2PortLeft = 1;
constexpr uint32_t kLv2PortRight = 2;
constexpr uint32_t kLv2PortFirstParameter = 3;
