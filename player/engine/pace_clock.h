#pragma once
// When a record falls due on the machine's clock, from its recording time:
// the first record after a restart is due at once, later ones follow their
// recorded spacing.  A jump forward of more than kLongJumpMs (an archive
// that recorded nothing for a while) is not waited out: the record after it
// follows the one before by the last interval that was not such a jump,
// counted from when the one before was due (or asked for, if later), and
// never before now.  A jump backwards keeps the base, so the records after it are due at once
// until the recording time passes where it was.
#include <cstdint>
#include <optional>

class PaceClock {
 public:
  static constexpr uint64_t kLongJumpMs = 3000;
  // The spacing after a long jump when no shorter interval came before it.
  static constexpr uint64_t kDefaultIntervalMs = 40;

  // The next record is due at once, and no interval is known.
  void Restart();
  // The machine time the record recorded at `recordedMs` is due, given the
  // machine time now; records it as the last one.
  int64_t DueAt(uint64_t recordedMs, uint64_t nowMs);

 private:
  std::optional<int64_t> base_;  // machine time minus recording time
  uint64_t previousMs_ = 0;
  int64_t previousLetGo_ = 0;  // when the previous record was due, or asked for if later
  uint64_t lastIntervalMs_ = kDefaultIntervalMs;
};
