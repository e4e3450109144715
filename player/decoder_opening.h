#pragma once
// Which decoder kind a video frame's codec class opens the front with.
#include <cstdint>
#include <optional>

// nullopt for a class that has no decoder kind.
std::optional<int32_t> DecoderKindOfClass(int32_t codecClass);
