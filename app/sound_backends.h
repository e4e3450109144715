#pragma once
// The wave outputs the program can play through, by the name ORLENTA_SOUND
// gives: "pulse" (also when unset) plays through the sound server and falls
// back to the null output while no server answers; "null" plays nothing at
// the real-time rate (headless machines, tests).  ORLENTA_SOUND_RECORD
// names a file that the null output records what it plays to.
#include <memory>

#include "platform/wave_out.h"

std::shared_ptr<platform::WaveOutBackend> MakeSoundBackend();

// Installs MakeSoundBackend() for every later WaveOutOpen.
void InstallSoundBackend();
