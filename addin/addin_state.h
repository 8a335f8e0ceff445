// What the loaded add-in shares between its commands: the host it was activated by.
#pragma once

#include "host/cad_host.h"

namespace exportal {

// The command ids and their display texts, in the order the commands are created.
inline constexpr int kSettingsCommand = 1;
inline constexpr int kJpegCommand = 2;
inline constexpr int kCompiledXglCommand = 3;
inline constexpr int kCompiledDwfCommand = 4;
inline constexpr int kStereoCommand = 5;
inline constexpr int kVrmlCommand = 6;

// The host of the activation; null before it and after deactivation.
CadHost* hostApplication();
void setHostApplication(CadHost* host);

}  // namespace exportal
