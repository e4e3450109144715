#include "codecs/audio/voice_channel.h"

#include <algorithm>
#include <cstring>

namespace codecs::audio::voice {

VoiceChannel LoadChannel(const uint8_t* bytes) {
  VoiceChannel channel;
  std::memcpy(&channel, bytes, sizeof channel);
  channel.ima.value = std::clamp<int32_t>(channel.ima.value, -32768, 32767);
  channel.ima.index = std::clamp<int32_t>(channel.ima.index, 0, kImaMaxStepIndex);
  channel.g726.Sanitise();
  return channel;
}

void StoreChannel(uint8_t* bytes, const VoiceChannel& channel) {
  std::memcpy(bytes, &channel, sizeof channel);
}

}  // namespace codecs::audio::voice
