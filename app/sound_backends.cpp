#include "app/sound_backends.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/null_wave_out.h"
#include "platform/pulse/server_or_null_wave_out.h"
#include "platform/trace.h"

namespace {

std::shared_ptr<platform::WaveOutBackend> MakeNullOutput(const SoundNotice&) {
  const char* recording = std::getenv("ORLENTA_SOUND_RECORD");
  if (recording && *recording) return std::make_shared<platform::NullWaveOutBackend>(recording);
  return std::make_shared<platform::NullWaveOutBackend>();
}

std::shared_ptr<platform::WaveOutBackend> MakeServerOutput(const SoundNotice& notice) {
  return std::make_shared<platform::ServerOrNullWaveOutBackend>(
      MakeNullOutput(notice), [notice](const std::string& why) {
        notice("Orlenta: the sound is off: no PulseAudio server answers (" + why +
               "). ORLENTA_SOUND=null plays without sound and without this notice.\n");
      });
}

void PrintNotice(const std::string& text) { std::fputs(text.c_str(), stderr); }

struct SoundBackend {
  std::string_view name;
  std::shared_ptr<platform::WaveOutBackend> (*make)(const SoundNotice& notice);
};

// The first is the one used when ORLENTA_SOUND names none.
constexpr SoundBackend kSoundBackends[] = {
    {"pulse", MakeServerOutput},
    {"null", MakeNullOutput},
};

}  // namespace

std::shared_ptr<platform::WaveOutBackend> MakeSoundBackend(SoundNotice notice) {
  if (!notice) notice = PrintNotice;
  const char* choice = std::getenv("ORLENTA_SOUND");
  const SoundBackend& byDefault = kSoundBackends[0];
  if (!choice || !*choice) return byDefault.make(notice);
  for (const SoundBackend& backend : kSoundBackends) {
    if (backend.name == choice) return backend.make(notice);
  }
  std::string known;
  for (const SoundBackend& backend : kSoundBackends) {
    if (!known.empty()) known += ", ";
    known += backend.name;
  }
  platform::Trace("ORLENTA_SOUND=%s is not known (%s); %s is used\n", choice, known.c_str(),
                  std::string(byDefault.name).c_str());
  return byDefault.make(notice);
}

void InstallSoundBackend() { platform::SetWaveOutBackend(MakeSoundBackend()); }
