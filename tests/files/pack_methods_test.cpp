#include "files/pack_methods.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "support/sample_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes with both the fast and the plain decoder and checks they agree.
int decode_both(int method, const Bytes& stream, Bytes& out, size_t history = 0, size_t* consumed = nullptr) {
  Bytes plain = out;
  size_t fast_used = 0, plain_used = 0;
  uint8_t* dst = out.data() + history;
  const size_t size = out.size() - history;
  int fast = Pack_Decode(method, stream.data(), stream.size(), dst, size, history, &fast_used);
  int ref = Pack_Decode_Reference(method, stream.data(), stream.size(), plain.data() + history, size, history,
                                  &plain_used);
  EXPECT_EQ(fast, ref) << "method " << method;
  if (fast == 0 && ref == 0) {
    EXPECT_EQ(out, plain) << "method " << method;
    EXPECT_EQ(fast_used, plain_used) << "method " << method;
  }
  if (consumed) *consumed = fast_used;
  return fast;
}

// Bits written as text ("0110...") packed into bytes, most significant first.
Bytes bits_to_bytes(const std::string& bits) {
  Bytes out((bits.size() + 7) / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  }
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

}  // namespace

TEST(PackMethods, WorkedExamplesDecode) {
  Bytes letters(257);
  for (size_t i = 0; i < letters.size(); ++i) letters[i] = static_cast<uint8_t>('a' + i % 26);
  // 257 literals as three groups, for copies from 257 back.
  Bytes literal_257 = concat({{127}, Bytes(letters.begin(), letters.begin() + 128), {127},
                              Bytes(letters.begin() + 128, letters.begin() + 256), {0}, {letters[256]}});
  Bytes literal_257_m6;  // method 6 groups hold at most 64
  for (size_t i = 0; i < 257; i += 64) {
    size_t n = std::min<size_t>(64, 257 - i);
    literal_257_m6.push_back(static_cast<uint8_t>(n - 1));
    literal_257_m6.insert(literal_257_m6.end(), letters.begin() + i, letters.begin() + i + n);
  }
  Bytes with_copy = letters;
  with_copy.push_back(letters[0]);
  Bytes with_repeat = letters;
  with_repeat.push_back(letters[256]);

  struct Case {
    const char* what;
    int method;
    Bytes stream;
    Bytes before;    // output contents before decoding (reference for method 6)
    Bytes expected;
  } cases[] = {
      {"run of three", 1, {0x02, 0x41}, Bytes(3, 0), {0x41, 0x41, 0x41}},
      {"two literals", 1, {0x81, 0x41, 0x42}, Bytes(2, 0), {0x41, 0x42}},
      {"overlapping copy", 3, {0x01, 0x61, 0x62, 0xC3, 0x01}, Bytes(6, 0), {'a', 'b', 'a', 'b', 'a', 'b'}},
      {"short lz copy", 2, {0x01, 0x61, 0x62, 0x83, 0x01}, Bytes(6, 0), {'a', 'b', 'a', 'b', 'a', 'b'}},
      {"copy from 257 back", 3, concat({literal_257, {0x80, 0x01, 0x00}}), Bytes(258, 0), with_copy},
      {"delta copy from 257 back", 6, concat({literal_257_m6, {0xC0, 0x01, 0x00}}), Bytes(258, 0), with_copy},
      {"delta copy from 1 back", 6, concat({literal_257_m6, {0x80, 0x00}}), Bytes(258, 0), with_repeat},
      {"skip keeps the reference", 6, {0x44, 0x00, 0x7A}, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 'z'}},
  };
  for (Case& c : cases) {
    Bytes out = c.before;
    size_t used = 0;
    ASSERT_EQ(decode_both(c.method, c.stream, out, 0, &used), 0) << c.what;
    EXPECT_EQ(out, c.expected) << c.what;
    EXPECT_EQ(used, c.stream.size()) << c.what;
  }

  // An empty output consumes nothing.
  for (int method : {1, 2, 3, 6}) {
    size_t used = 99;
    uint8_t stream[] = {0x7F, 1};
    EXPECT_EQ(Pack_Decode(method, stream, 2, nullptr, 0, 0, &used), 0);
    EXPECT_EQ(used, 0u);
  }
}

// With one byte value present, every other leaf weighs 0. The zero leaves pair up
// from the head of the list; when the chain reaches 'A' (weight 5) the rule takes
// as A the last node lighter than 'A', leaf 255, so 'A' ends as the bit-1 child of
// the bit-1 child of the root: code 11.
TEST(PackMethods, SingleSymbolHuffmanFollowsTheTreeRule) {
  std::string bits = std::string(65, '0') + "1" + "00" + "00000101" + std::string(190, '0') + "1111111111";
  Bytes expected = bits_to_bytes(bits);
  Bytes packed = Pack_Encode(4, reinterpret_cast<const uint8_t*>("AAAAA"), 5);
  EXPECT_EQ(packed, expected);
  Bytes out(5);
  size_t used = 0;
  ASSERT_EQ(decode_both(4, packed, out, 0, &used), 0);
  EXPECT_EQ(std::string(out.begin(), out.end()), "AAAAA");
  EXPECT_EQ(used, bits.size() / 8);  // the byte holding the next unread bit

  // Weights take the smallest width that holds them.
  Bytes many(300, 'B');
  packed = Pack_Encode(4, many.data(), many.size());
  Bytes head = bits_to_bytes(std::string(66, '0') + "1" + "01" + "0000000100101100");
  ASSERT_GE(packed.size(), head.size());
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 10), Bytes(head.begin(), head.begin() + 10));
}

TEST(PackMethods, EveryMethodRoundTripsVariedData) {
  Bytes picture = Sample_Picture_16(160, 120);
  Bytes mixed = concat({Sample_Text(5000), Sample_Noise(3000), Sample_Runs(4000), Sample_Text(2000, 9)});
  struct Input {
    const char* name;
    Bytes data;
  } inputs[] = {
      {"empty", {}},
      {"one byte", {42}},
      {"runs", Sample_Runs(20000)},
      {"text", Sample_Text(20000)},
      {"noise", Sample_Noise(5000)},
      {"picture", picture},
      {"mixed", mixed},
      {"one value", Bytes(70000, 7)},
      {"two values", concat({Bytes(1000, 1), Bytes(1, 2), Bytes(1000, 1)})},
  };
  for (const Input& in : inputs) {
    // A reference that matches the data in places, for the delta methods.
    Bytes reference = in.data;
    std::mt19937 rng(11);
    for (size_t i = 0; i < reference.size(); ++i) {
      if ((i / 97) % 3 == 0) reference[i] = static_cast<uint8_t>(rng());
    }
    for (int method = 0; method <= 7; ++method) {
      const bool delta = method == 6 || method == 7;
      Bytes packed = Pack_Encode(method, in.data.data(), in.data.size(), delta ? reference.data() : nullptr);
      Bytes out = delta ? reference : Bytes(in.data.size(), 0xEE);
      size_t used = 0;
      ASSERT_EQ(decode_both(method, packed, out, 0, &used), 0) << in.name << " method " << method;
      EXPECT_EQ(out, in.data) << in.name << " method " << method;
      if (method != 4 && method != 5 && method != 7) {
        EXPECT_EQ(used, packed.size()) << in.name << " " << method;
      }
      // Against an all-zero reference too (how still pictures are packed).
      if (delta) {
        packed = Pack_Encode(method, in.data.data(), in.data.size());
        Bytes zero(in.data.size(), 0);
        ASSERT_EQ(decode_both(method, packed, zero), 0) << in.name << " method " << method;
        EXPECT_EQ(zero, in.data) << in.name << " method " << method;
      }
    }
  }
}

TEST(PackMethods, PackersUseTheCodeBoundaries) {
  Bytes noise = Sample_Noise(70000, 21);
  // Literal groups: 124/125/128 noise bytes before a repeat of their first bytes.
  for (size_t pending : {124u, 125u, 127u, 128u, 129u}) {
    Bytes data(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(pending));
    data.insert(data.end(), noise.begin(), noise.begin() + 2);  // a 2-byte match 'pending' back
    for (int method : {1, 2, 3, 5, 6}) {
      Bytes packed = Pack_Encode(method, data.data(), data.size());
      Bytes out(data.size());
      ASSERT_EQ(decode_both(method, packed, out), 0) << pending << " method " << method;
      EXPECT_EQ(out, data) << pending << " method " << method;
    }
    // A group never exceeds 128 literals: the first code is 128 + 127 at most
    // for method 1 and 127 for method 3.
    Bytes m3 = Pack_Encode(3, data.data(), data.size());
    EXPECT_EQ(m3[0], std::min<size_t>(pending, 128) - 1) << pending;
  }

  // Copies of 64 and 65 bytes from offsets around the one- and two-byte limits.
  // The copy comes last in the stream (a 65th byte stays a literal: one byte
  // has no pair to match).
  struct Copy_Case {
    size_t offset, length;
    Bytes expected_code;  // method 3 code of the copy, empty when none
  } copies[] = {
      {256, 64, {0xFF, 0xFF}},
      {257, 64, {0xBF, 0x01, 0x00}},
      {256, 65, {0xFF, 0xFF}},
      {65536, 64, {0xBF, 0xFF, 0xFF}},
      {65536, 65, {0xBF, 0xFF, 0xFF}},
      {65537, 64, {}},  // out of the window: no copy of those bytes
      {65537, 65, {}},
  };
  for (const Copy_Case& c : copies) {
    Bytes data(noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(c.offset));
    data.insert(data.end(), noise.begin(), noise.begin() + static_cast<std::ptrdiff_t>(c.length));
    Bytes packed = Pack_Encode(3, data.data(), data.size());
    if (!c.expected_code.empty()) {
      Bytes tail = c.expected_code;
      if (c.length == 65) tail.insert(tail.end(), {0x00, data.back()});
      ASSERT_GE(packed.size(), tail.size());
      EXPECT_EQ(Bytes(packed.end() - static_cast<std::ptrdiff_t>(tail.size()), packed.end()), tail)
          << c.offset << "/" << c.length;
    } else {
      EXPECT_GT(packed.size(), data.size()) << c.offset;  // literals, and their group codes
    }
    for (int method : {3, 5, 6, 7}) {
      Bytes p = Pack_Encode(method, data.data(), data.size());
      Bytes out(data.size(), 0);
      ASSERT_EQ(decode_both(method, p, out), 0) << c.offset << " method " << method;
      EXPECT_EQ(out, data) << c.offset << " method " << method;
    }
  }

  // Method 6 takes a skip of 64 over bytes equal to the reference.
  Bytes frame = noise;
  frame.resize(200);
  Bytes reference = frame;
  reference[150] ^= 1;
  Bytes packed = Pack_Encode(6, frame.data(), frame.size(), reference.data());
  EXPECT_EQ(packed[0], 64 + 63);
  Bytes out = reference;
  ASSERT_EQ(decode_both(6, packed, out), 0);
  EXPECT_EQ(out, frame);
}

TEST(PackMethods, HistoryIsSearchedButNotEmitted) {
  Bytes history = Sample_Text(70000, 5);
  Bytes data = concat({history, Bytes(history.begin() + 1000, history.begin() + 9000)});
  for (int method : {2, 3, 5}) {
    Bytes packed = Pack_Encode(method, data.data(), data.size(), nullptr, history.size());
    Bytes alone = Pack_Encode(method, data.data() + history.size(), data.size() - history.size());
    EXPECT_LT(packed.size(), alone.size()) << method;
    Bytes out = history;
    out.resize(data.size(), 0);
    ASSERT_EQ(decode_both(method, packed, out, history.size()), 0) << method;
    EXPECT_EQ(out, data) << method;
    // Without the history in front, the back references reach before the output.
    Bytes bare(data.size() - history.size());
    EXPECT_EQ(Pack_Decode(method, packed.data(), packed.size(), bare.data(), bare.size()), -1) << method;
  }
}

TEST(PackMethods, LongHuffmanCodesRoundTrip) {
  // Counts growing like Fibonacci numbers give codes far longer than one table
  // look-up covers; spreading the bytes evenly gives a lopsided tree.
  Bytes skewed;
  size_t a = 1, b = 1;
  for (int v = 0; v < 20; ++v) {
    skewed.insert(skewed.end(), a, static_cast<uint8_t>(v * 9));
    size_t c = a + b;
    a = b;
    b = c;
  }
  std::shuffle(skewed.begin(), skewed.end(), std::mt19937(3));
  Bytes even(256 * 64);
  for (size_t i = 0; i < even.size(); ++i) even[i] = static_cast<uint8_t>(i * 7);
  for (const Bytes* data : {&skewed, &even}) {
    for (int method : {4, 5}) {
      Bytes packed = Pack_Encode(method, data->data(), data->size());
      Bytes out(data->size());
      ASSERT_EQ(decode_both(method, packed, out), 0) << method;
      EXPECT_EQ(out, *data) << method;
    }
  }
}

TEST(PackMethods, DamagedStreamsAreRefused) {
  struct Case {
    const char* what;
    int method;
    Bytes stream;
    size_t size;
  } cases[] = {
      {"stored too short", 0, {1, 2}, 3},
      {"run past the output", 1, {0x05, 0x41}, 3},
      {"literals past the source", 1, {0x83, 0x41}, 4},
      {"missing run byte", 1, {0x05}, 6},
      {"copy before the start", 3, {0x00, 0x61, 0xC0, 0x01}, 2},
      {"far copy before the start", 3, {0x00, 0x61, 0x80, 0x00, 0x01}, 2},
      {"copy past the output", 3, {0x00, 0x61, 0xC3, 0x00}, 3},
      {"cut offset", 3, {0x00, 0x61, 0x80, 0x00}, 5},
      {"short lz copy before start", 2, {0x00, 0x61, 0x80, 0x01}, 2},
      {"delta skip past the output", 6, {0x45}, 5},
      {"delta copy before the start", 6, {0x00, 0x61, 0xC0, 0x00, 0x02}, 2},
      {"stream ends early", 3, {0x05, 0x61}, 6},
      {"huffman table cut", 4, {0xFF, 0xFF}, 1},
      {"huffman codes cut", 4, bits_to_bytes(std::string(65, '0') + "1" + "00" + "00000101" + std::string(190, '0')), 5},
  };
  for (const Case& c : cases) {
    Bytes out(c.size + 32, 0x55);  // room behind the output must stay untouched
    Bytes plain = out;
    EXPECT_EQ(Pack_Decode(c.method, c.stream.data(), c.stream.size(), out.data(), c.size), -1) << c.what;
    EXPECT_EQ(Pack_Decode_Reference(c.method, c.stream.data(), c.stream.size(), plain.data(), c.size), -1) << c.what;
    for (size_t i = c.size; i < out.size(); ++i) ASSERT_EQ(out[i], 0x55) << c.what;
  }
}

TEST(PackMethods, FastAndPlainDecodersAgreeOnRandomStreams) {
  std::mt19937 rng(1234);
  Bytes sources[] = {Sample_Text(6000), Sample_Picture_16(64, 48), Sample_Runs(6000), Sample_Noise(2000)};
  for (int round = 0; round < 200; ++round) {
    const int method = 1 + round % 7;
    const Bytes& data = sources[rng() % 4];
    Bytes stream = Pack_Encode(method, data.data(), data.size());
    // Damage some streams: flipped bytes, cut tails or pure noise.
    switch (rng() % 4) {
      case 0: break;
      case 1:
        for (int k = 0; k < 3 && !stream.empty(); ++k) stream[rng() % stream.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        break;
      case 2: stream.resize(stream.size() * (rng() % 100) / 100); break;
      case 3: stream = Sample_Noise(1 + rng() % 3000, rng()); break;
    }
    const size_t history = rng() % 2 ? 0 : 300;
    Bytes out(history + data.size(), 0);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 13);
    decode_both(method, stream, out, history);
  }
}
