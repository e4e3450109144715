#pragma once
// How many threads FFmpeg's H.264 decoder gets: the value of
// NUMBER_OF_PROCESSORS when it is set (a value below 1 or not a number means
// one thread), the machine's processor count when it is not, and never more
// than 16.
#include <optional>
#include <string>

constexpr int kMaxDecoderThreads = 16;

// `value` is the variable's text, nullopt when it is unset.
int DecoderThreadCount(const std::optional<std::string>& value, unsigned processors);
// From this process's environment and processor count.
int DecoderThreadCountFromEnvironment();
