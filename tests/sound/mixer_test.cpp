#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "sound/wav_builder.h"

namespace {
struct Stereo {
  int left;
  int right;
  bool operator==(const Stereo&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Stereo& s) { return out << "(" << s.left << "," << s.right << ")"; }

std::vector<Stereo> mix_frames(Mixer& mixer, size_t frames) {
  std::vector<int16_t> out(2 * frames);
  mixer.mix(out.data(), frames);
  std::vector<Stereo> result;
  for (size_t i = 0; i < frames; ++i) result.push_back({out[2 * i], out[2 * i + 1]});
  return result;
}

int play(Mixer& mixer, Mixer_Format format, const std::vector<uint8_t>& bytes, bool loop = false,
         int32_t volume = 0, int32_t pan = 0) {
  int buffer = mixer.create(format, static_cast<uint32_t>(bytes.size()));
  EXPECT_NE(buffer, 0);
  EXPECT_TRUE(mixer.write(buffer, 0, bytes.data(), static_cast<uint32_t>(bytes.size())));
  mixer.set_volume(buffer, volume);
  mixer.set_pan(buffer, pan);
  mixer.play(buffer, loop);
  return buffer;
}
}  // namespace

TEST(Mixer, RefusesFormatsItCannotPlay) {
  Mixer mixer(44100);
  struct Case {
    Mixer_Format format;
    uint32_t size;
  } cases[] = {
      {{44100, 24, 2}, 600},  // only 8 and 16 bits
      {{44100, 16, 6}, 600},  // one or two channels
      {{0, 16, 2}, 600},      // no rate
      {{44100, 16, 2}, 3},    // not even one frame
  };
  for (const Case& c : cases) EXPECT_EQ(mixer.create(c.format, c.size), 0);
  EXPECT_EQ(mixer.buffer_count(), 0u);
}

TEST(Mixer, SamplesOfKnownInputs) {
  struct Case {
    const char* what;
    Mixer_Format format;
    std::vector<uint8_t> bytes;
    std::vector<Stereo> expected;
  } cases[] = {
      {"16-bit mono goes to both sides unchanged", {44100, 16, 1}, pcm16({1000, -2000, 32767, -32768}),
       {{1000, 1000}, {-2000, -2000}, {32767, 32767}, {-32768, -32768}, {0, 0}}},
      {"16-bit stereo keeps its sides", {44100, 16, 2}, pcm16({100, -100, 7, 9}), {{100, -100}, {7, 9}, {0, 0}}},
      {"8-bit samples are unsigned around 128", {44100, 8, 1}, {0x80, 0xFF, 0x00, 0x81},
       {{0, 0}, {32512, 32512}, {-32768, -32768}, {256, 256}, {0, 0}}},
      {"8-bit stereo", {44100, 8, 2}, {0x90, 0x70}, {{4096, -4096}, {0, 0}}},
      {"22050 Hz is doubled with linear interpolation, the end held", {22050, 16, 1}, pcm16({0, 1000, 2000, -2000}),
       {{0, 0}, {500, 500}, {1000, 1000}, {1500, 1500}, {2000, 2000}, {0, 0}, {-2000, -2000}, {-2000, -2000}, {0, 0}}},
      {"11025 Hz takes four output frames per source frame", {11025, 16, 1}, pcm16({0, 400}),
       {{0, 0}, {100, 100}, {200, 200}, {300, 300}, {400, 400}, {400, 400}, {400, 400}, {400, 400}, {0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mixer mixer(44100);
    play(mixer, c.format, c.bytes);
    EXPECT_EQ(mix_frames(mixer, c.expected.size()), c.expected);
  }
}

TEST(Mixer, GainPanAndClipping) {
  // Volume and pan in hundredths of a decibel: the gain is 10^(x / 2000).
  struct Case {
    int32_t volume;
    int32_t pan;
    double left;
    double right;
  } cases[] = {
      {0, 0, 1.0, 1.0},
      {-600, 0, 0.501187, 0.501187},
      {-2000, 0, 0.1, 0.1},
      {-10000, 0, 0.0, 0.0},      // silent, exactly
      {0, -2550, 1.0, 0.053088},  // the engine's hardest left
      {0, 2550, 0.053088, 1.0},
      {0, -10000, 1.0, 0.0},
      {0, 10000, 0.0, 1.0},
      {-600, 1000, 0.158489, 0.501187},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "volume " << c.volume << " pan " << c.pan);
    Mixer mixer(44100);
    play(mixer, {44100, 16, 1}, pcm16({20000, -20000}), false, c.volume, c.pan);
    auto out = mix_frames(mixer, 2);
    EXPECT_NEAR(out[0].left, 20000 * c.left, 1.0);
    EXPECT_NEAR(out[0].right, 20000 * c.right, 1.0);
    EXPECT_NEAR(out[1].left, -20000 * c.left, 1.0);
    EXPECT_NEAR(out[1].right, -20000 * c.right, 1.0);
  }

  // Two loud buffers sum past the 16-bit range and are clipped; opposite ones cancel.
  Mixer mixer(44100);
  play(mixer, {44100, 16, 2}, pcm16({30000, -30000, 30000, 5}));
  play(mixer, {44100, 16, 2}, pcm16({30000, -30000, -30000, 5}));
  EXPECT_EQ(mix_frames(mixer, 2), (std::vector<Stereo>{{32767, -32768}, {0, 10}}));
}

TEST(Mixer, CursorLoopsOrStopsAtTheEnd) {
  Mixer mixer(44100);
  int looping = play(mixer, {44100, 16, 1}, pcm16({1, 2, 3, 4}), true);
  EXPECT_EQ(mix_frames(mixer, 10), (std::vector<Stereo>{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {1, 1}, {2, 2}, {3, 3}, {4, 4},
                                                         {1, 1}, {2, 2}}));
  EXPECT_EQ(mixer.position(looping), 4);  // frame 2 of 16-bit mono
  EXPECT_EQ(mixer.status(looping), Mixer_Playing | Mixer_Looping);

  // Interpolating across the loop point reaches back to the first frame.
  Mixer half_rate(44100);
  play(half_rate, {22050, 16, 1}, pcm16({0, 1000}), true);
  EXPECT_EQ(mix_frames(half_rate, 5), (std::vector<Stereo>{{0, 0}, {500, 500}, {1000, 1000}, {500, 500}, {0, 0}}));

  int once = play(mixer, {44100, 16, 2}, pcm16({5, 5, 6, 6}));
  mixer.stop(looping);
  mix_frames(mixer, 3);
  EXPECT_EQ(mixer.status(once), 0);  // stopped at its end
  EXPECT_EQ(mixer.position(once), 0);
  EXPECT_EQ(mixer.position(looping), 4);  // a stopped buffer keeps its cursor

  EXPECT_TRUE(mixer.set_position(looping, 6));
  EXPECT_FALSE(mixer.set_position(looping, 8));
  mixer.play(looping, false);
  EXPECT_EQ(mix_frames(mixer, 2), (std::vector<Stereo>{{4, 4}, {0, 0}}));
  mixer.release(looping);
  EXPECT_EQ(mixer.status(looping), -1);
  EXPECT_FALSE(mixer.write(once, 7, "ab", 2));  // past the buffer's 8 bytes
  EXPECT_TRUE(mixer.write(once, 6, "ab", 2));
}

// Buffers changed from one thread while another mixes (run under ThreadSanitizer).
TEST(Mixer, WritersAndTheMixingThreadDoNotRace) {
  Mixer mixer(44100);
  std::vector<uint8_t> samples = pcm16(std::vector<int16_t>(4096, 1000));
  int buffer = play(mixer, {44100, 16, 2}, samples, true);
  std::atomic<bool> done{false};
  std::thread mixing([&] {
    std::vector<int16_t> out(2 * 1024);
    while (!done) mixer.mix(out.data(), 1024);
  });
  for (int i = 0; i < 2000; ++i) {
    mixer.write(buffer, (i % 2) * 8192, samples.data(), 8192);
    mixer.set_volume(buffer, -(i % 100));
    mixer.set_pan(buffer, i % 200 - 100);
    mixer.position(buffer);
    int extra = mixer.create({22050, 8, 1}, 64);
    mixer.play(extra, false);
    mixer.release(extra);
  }
  done = true;
  mixing.join();
  EXPECT_EQ(mixer.buffer_count(), 1u);
}
