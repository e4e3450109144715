#pragma once
// Archives an attacker or a damaged copy would hand the player: lengths
// that claim gigabytes, multi-gigabyte files (sparse, so they cost no disk)
// and floods of empty records.  Each good record's payload starts with its
// index as a 32-bit number when it has room for one.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct HostileArchive {
  std::string name;
  std::filesystem::path path;
  size_t goodRecords = 0;  // the records before the corrupt one, or all of them
  bool corrupt = false;    // indexing must stop with the index error
};

// The four archives, written under `dir`:
//   bad-length  ~100 MB of 1 MiB records, record 50 claims 0xFFFFFFF0 bytes
//   2gib-length three small records, then one claiming 2 GiB in a file that
//               really is that long
//   5gib-chain  records of the longest allowed payload up to 5 GiB
//   empty-flood 200,000 records without payload
std::vector<HostileArchive> WriteHostileArchives(const std::filesystem::path& dir);

}  // namespace testing_support
