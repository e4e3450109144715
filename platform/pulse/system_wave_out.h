#pragma once
// The wave output the program uses, chosen by ORLENTA_SOUND: "null" plays
// nothing at the real-time rate (headless machines, tests), "pulse" or no
// value plays through the sound server and falls back to the null output
// while no server answers.  ORLENTA_SOUND_RECORD names a file that the null
// output records what it plays to.
#include <memory>

#include "platform/wave_out.h"

namespace platform {

std::shared_ptr<WaveOutBackend> MakeSystemWaveOutBackend();

// Installs MakeSystemWaveOutBackend() for every later WaveOutOpen.
void InstallSystemWaveOutBackend();

}  // namespace platform
