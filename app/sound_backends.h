#pragma once
// The wave outputs the program can play through, by the name ORLENTA_SOUND
// gives: "pulse" (also when unset) plays through the sound server and falls
// back to the null output while no server answers; "null" plays nothing at
// the real-time rate (headless machines, tests).  ORLENTA_SOUND_RECORD
// names a file that the null output records what it plays to.
#include <functional>
#include <memory>
#include <string>

#include "platform/wave_out.h"

// Told once, when the sound is off because no server answers: why, and
// that ORLENTA_SOUND=null silences the notice.  Without one the notice goes
// to standard error.
using SoundNotice = std::function<void(const std::string& text)>;

std::shared_ptr<platform::WaveOutBackend> MakeSoundBackend(SoundNotice notice = {});

// Installs MakeSoundBackend() for every later WaveOutOpen.
void InstallSoundBackend();
