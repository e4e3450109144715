// The sound output through a real PulseAudio server: a private server with
// a null sink plays what CSoundOut hands it, and parec records the sink's
// monitor.  The sink runs at the output's own format, so nothing is
// resampled and the recording holds the played samples bit for bit.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/pulse/pulse_wave_out.h"
#include "player/sound/sound_out.h"
#include "tests/support/patience.h"
#include "tests/support/test_support.h"

extern char** environ;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A program this test started and ends: by its own process id.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
        const fs::path& output) {
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> environment(extraEnvironment);
    for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
    std::vector<char*> env;
    for (auto& entry : environment) env.push_back(entry.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() { Stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Started() const { return pid_ > 0; }
  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(10ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A private runtime directory with a short path: the server's socket must
// fit a socket address.
class RuntimeDir {
 public:
  RuntimeDir() {
    char name[] = "/tmp/orlenta-pulse-XXXXXX";
    if (mkdtemp(name)) path_ = name;
  }
  ~RuntimeDir() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// Half a second of silence, so that the stream runs before the sequence
// comes (the monitor misses what the sink rewrites as a stream starts),
// then the sequence, then silence; 100 ms a fill.
class SequenceFeed {
 public:
  static constexpr size_t kFillBytes = 1600;

  explicit SequenceFeed(std::vector<int16_t> sequence) {
    stream_.assign(8000, 0);
    for (int16_t sample : sequence) {
      stream_.push_back(static_cast<uint8_t>(sample & 0xFF));
      stream_.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
    }
  }

  static int Fill(CBuffer* buffer, void* user) {
    auto* self = static_cast<SequenceFeed*>(user);
    const size_t offset = self->offset_;
    const size_t available = offset < self->stream_.size() ? self->stream_.size() - offset : 0;
    const size_t bytes = std::min(kFillBytes, available);
    std::copy_n(self->stream_.begin() + static_cast<ptrdiff_t>(offset), bytes, buffer->Data());
    std::fill_n(buffer->Data() + bytes, kFillBytes - bytes, 0);
    buffer->SetSize(static_cast<int32_t>(kFillBytes));
    self->offset_ = offset + kFillBytes;
    return 1;
  }

  size_t HandedOut() const { return offset_; }
  size_t StreamBytes() const { return stream_.size(); }

 private:
  std::vector<uint8_t> stream_;
  std::atomic<size_t> offset_{0};
};

std::vector<int16_t> ReadSamples(const fs::path& path) {
  const auto bytes = testing_support::ReadFile(path);
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return samples;
}

TEST(PulseSoundOutTest, PlaysAKnownSequenceThroughARealServer) {
  ORLENTA_REQUIRE_PROGRAM("pulseaudio");
  ASSERT_TRUE(testing_support::HaveProgram("parec")) << "parec comes with pulseaudio-utils";
  testing_support::ScratchDir scratch("pulse_sound_out");
  RuntimeDir runtime;
  ASSERT_FALSE(runtime.path().empty());
  const fs::path home = scratch / "home";
  fs::create_directories(home);
  const std::string socket = (runtime.path() / "native").string();
  const std::string server = "unix:" + socket;
  // As root (CI) the server must be told it is a user's (--system=false)
  // and that it may not leave; no configuration of the machine is read
  // (-n), it keeps its state in the scratch directory and never idles out.
  const std::vector<std::string> privateEnvironment = {
      "HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.path().string(),
      "XDG_CONFIG_HOME=" + (home / "config").string(), "PULSE_STATE_PATH=" + (home / "state").string(),
      "PULSE_RUNTIME_PATH=" + runtime.path().string()};
  Child pulse({"pulseaudio", "-n", "--daemonize=no", "--system=false", "--disallow-exit",
               "--exit-idle-time=-1", "--use-pid-file=false", "--disable-shm=true",
               "--log-target=stderr", "--log-level=error",
               "-L", "module-null-sink sink_name=orlenta_test rate=8000 channels=1 format=s16le",
               "-L", "module-native-protocol-unix socket=" + socket + " auth-anonymous=1"},
              privateEnvironment, scratch / "pulseaudio.log");
  ASSERT_TRUE(pulse.Started());
  bool answering = false;
  for (int i = 0; i < 100 && !answering; ++i) {
    std::this_thread::sleep_for(50ms);
    if (!pulse.Running()) {
      const auto log = testing_support::ReadFile(scratch / "pulseaudio.log");
      FAIL() << "pulseaudio ended: " << std::string(log.begin(), log.end());
    }
    answering = fs::exists(socket);
  }
  ASSERT_TRUE(answering) << "no socket from pulseaudio";

  const fs::path recording = scratch / "monitor.pcm";
  Child parec({"parec", "--server=" + server, "--device=orlenta_test.monitor", "--format=s16le",
               "--rate=8000", "--channels=1", "--raw", "--latency-msec=20"},
              privateEnvironment, recording);
  ASSERT_TRUE(parec.Started());
  // The monitor of an idle null sink still delivers silence: a growing
  // file means the recorder is connected.
  const auto connectDeadline = std::chrono::steady_clock::now() + testing_support::kPatience;
  while (fs::file_size(recording) < 800 && std::chrono::steady_clock::now() < connectDeadline) {
    ASSERT_TRUE(parec.Running());
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_GE(fs::file_size(recording), 800u) << "parec records nothing";

  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> sample(-30000, 30000);
  std::vector<int16_t> sequence(8000);
  for (auto& s : sequence) s = static_cast<int16_t>(sample(random));
  SequenceFeed feed(sequence);
  // A server starved on a loaded machine plays silence until more comes
  // and then goes on: zero samples are left out on both sides, so the
  // sequence must be there whole and in order, gaps or not.
  auto withoutZeros = [](std::vector<int16_t> samples) {
    std::erase(samples, int16_t{0});
    return samples;
  };
  const auto expected = withoutZeros(sequence);
  ASSERT_GT(expected.size(), 7900u);
  auto recordedWhole = [&] {
    const auto recorded = withoutZeros(ReadSamples(recording));
    return std::search(recorded.begin(), recorded.end(), expected.begin(), expected.end()) != recorded.end();
  };
  {
    platform::ScopedWaveOutBackend scoped(std::make_shared<platform::PulseWaveOutBackend>(server));
    CSoundOut out;
    out.SetBufferSize(8000);
    out.SetCallback(&SequenceFeed::Fill, &feed);
    ASSERT_TRUE(out.start());
    // Wait until the sequence and half a second after it were handed out,
    // so that the server has played the whole sequence to its monitor.
    const auto deadline = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (feed.HandedOut() < feed.StreamBytes() + 8000 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_GE(feed.HandedOut(), feed.StreamBytes() + 8000) << "the server did not take the sound";
    // The recorder follows the server at its own pace.
    const auto recordedDeadline = std::chrono::steady_clock::now() + testing_support::kPatience;
    while (!recordedWhole() && std::chrono::steady_clock::now() < recordedDeadline) {
      std::this_thread::sleep_for(50ms);
    }
    out.stop();
  }
  parec.Stop();
  pulse.Stop();
  EXPECT_TRUE(recordedWhole()) << "the sequence is not among the " << withoutZeros(ReadSamples(recording)).size()
                               << " non-zero samples recorded";
}

}  // namespace
