#include "player/decode/decoder_threads.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

int DecoderThreadCount(const std::optional<std::string>& value, unsigned processors) {
  long count = static_cast<long>(std::min<unsigned>(processors, kMaxDecoderThreads));
  if (value) {
    // Read like atoi: leading digits count, anything else is 0.
    errno = 0;
    count = std::strtol(value->c_str(), nullptr, 10);
    if (errno == ERANGE) count = count < 0 ? 0 : kMaxDecoderThreads;
  }
  return static_cast<int>(std::clamp<long>(count, 1, kMaxDecoderThreads));
}

int DecoderThreadCountFromEnvironment() {
  const char* value = std::getenv("NUMBER_OF_PROCESSORS");
  return DecoderThreadCount(value ? std::optional<std::string>(value) : std::nullopt,
                            std::thread::hardware_concurrency());
}
