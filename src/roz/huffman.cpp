// The per-stream Huffman code of the AC code bytes: frequency table, tree,
// codes, and the two decoders (table-driven and one bit at a time).
#include <climits>

#include "roz/roz_internal.h"

#pragma GCC visibility push(hidden)

namespace roz {

bool Huffman_Coder::Build_Tree(const int counts[kSymbols]) {
  for (int i = 0; i <= kNodes; ++i) {
    weight_[i] = i < kSymbols ? counts[i] : 0;
    child_[0][i] = child_[1][i] = -1;
  }
  weight_[kSentinel] = INT_MAX;
  for (int i = 0; i < kSymbols; ++i) code_[i] = 0, length_[i] = 0;
  root_ = -1;
  // Each new node joins the two lightest nodes so far; strict comparisons in
  // index order make the lower index win a tie (it becomes child 0).
  for (int i = kSymbols; i < kNodes; ++i) {
    int smallest = kSentinel, second = kSentinel;
    for (int j = 0; j < i; ++j) {
      int w = weight_[j];
      if (w == 0) continue;
      if (w < weight_[smallest]) {
        second = smallest;
        smallest = j;
      } else if (w < weight_[second]) {
        second = j;
      }
    }
    if (second == kSentinel) {
      root_ = i - 1;
      break;
    }
    weight_[i] = weight_[smallest] + weight_[second];
    child_[0][i] = smallest;
    child_[1][i] = second;
    weight_[smallest] = 0;
    weight_[second] = 0;
  }
  if (root_ < kSymbols) {
    root_ = -1;  // a single symbol (or none) gives no tree
    return false;
  }
  Assign_Codes(root_, 0, 0);
  Build_Lookup();
  return true;
}

void Huffman_Coder::Assign_Codes(int node, uint32_t code, int depth) {
  if (node < kSymbols) {
    code_[node] = code;
    length_[node] = depth;
    return;
  }
  Assign_Codes(child_[0][node], code << 1, depth + 1);
  Assign_Codes(child_[1][node], (code << 1) | 1, depth + 1);
}

void Huffman_Coder::Build_Lookup() {
  for (int prefix = 0; prefix < (1 << kLookupBits); ++prefix) {
    int node = root_;
    int depth = 0;
    while (node >= kSymbols && depth < kLookupBits) {
      node = child_[(prefix >> (kLookupBits - 1 - depth)) & 1][node];
      ++depth;
    }
    lookup_[prefix].node = static_cast<int16_t>(node);
    lookup_[prefix].length = static_cast<int16_t>(node < kSymbols ? depth : 0);
  }
}

int Huffman_Coder::Encode(const unsigned char* codes, int count, unsigned char* out) {
  int counts[kSymbols] = {};
  for (int i = 0; i < count; ++i) ++counts[codes[i]];
  int largest = 0;
  for (int i = 0; i < 256; ++i) largest = counts[i] > largest ? counts[i] : largest;
  if (largest == 0) {
    counts[0] = 1;
    largest = 1;
  }
  // Counts are scaled to fit a byte; a symbol that occurs keeps at least 1.
  const int divisor = largest / 255 + 1;
  for (int i = 0; i < 256; ++i) {
    if (counts[i] != 0) {
      int scaled = counts[i] / divisor;
      counts[i] = scaled != 0 ? scaled : 1;
    }
  }
  counts[kEnd] = 1;

  // Frequency table: runs (start, end, counts); a run swallows gaps of at most
  // two zero counts; a 0 where the next start would stand ends the table.
  int pos = 0;
  int start = 255;
  for (int i = 0; i < 256; ++i) {
    if (counts[i] != 0) {
      start = i;
      break;
    }
  }
  int end = start;
  for (;;) {
    int next = end + 1;
    while (next < 256 && counts[next] == 0) ++next;
    if (next < 256 && next - end <= 3) {
      end = next;
      continue;
    }
    out[pos++] = static_cast<unsigned char>(start);
    out[pos++] = static_cast<unsigned char>(end);
    for (int j = start; j <= end; ++j) out[pos++] = static_cast<unsigned char>(counts[j]);
    if (next >= 256) break;
    start = end = next;
  }
  out[pos++] = 0;

  Build_Tree(counts);

  mask_ = 0x80;
  auto put_code = [&](int symbol) {
    for (int bit = length_[symbol] - 1; bit >= 0; --bit) {
      if (mask_ == 0x80) out[pos] = 0;
      if ((code_[symbol] >> bit) & 1) out[pos] |= static_cast<unsigned char>(mask_);
      mask_ >>= 1;
      if (mask_ == 0) {
        mask_ = 0x80;
        ++pos;
      }
    }
  };
  for (int i = 0; i < count; ++i) put_code(codes[i]);
  put_code(kEnd);
  return pos + (mask_ != 0x80 ? 1 : 0);
}

bool Huffman_Coder::Read_Table(const unsigned char* section, uint32_t length, uint32_t* table_length) {
  int counts[kSymbols] = {};
  uint32_t pos = 0;
  if (pos >= length) return false;
  int start = section[pos++];
  for (;;) {
    if (pos >= length) return false;
    int end = section[pos++];
    if (end < start) return false;
    uint32_t run = static_cast<uint32_t>(end - start + 1);
    if (length - pos < run) return false;
    for (int j = start; j <= end; ++j) counts[j] = section[pos++];
    if (pos >= length) return false;
    start = section[pos++];
    if (start == 0) break;
  }
  counts[kEnd] = 1;
  *table_length = pos;
  return Build_Tree(counts);
}

namespace {
// MSB-first bit reader over a section; bytes past its end read as 0.
struct Msb_Reader {
  const unsigned char* data;
  uint32_t length;
  uint32_t pos = 0;
  uint64_t buffer = 0;  // next bits at the top
  int bits = 0;

  void Refill() {
    if (pos <= length && length - pos >= 8) {
      while (bits <= 56) {
        buffer |= static_cast<uint64_t>(data[pos++]) << (56 - bits);
        bits += 8;
      }
      return;
    }
    while (bits <= 56) {
      if (pos < length) buffer |= static_cast<uint64_t>(data[pos]) << (56 - bits);
      if (pos <= length) ++pos;
      bits += 8;
    }
  }
};
}  // namespace

uint32_t Huffman_Coder::Decode(const unsigned char* data, uint32_t length, unsigned char* out, uint32_t limit) {
  if (root_ < 0) return 0;
  Msb_Reader reader{data, length};
  uint32_t count = 0;
  while (count < limit) {
    if (reader.bits < 32) reader.Refill();
    const Entry entry = lookup_[reader.buffer >> (64 - kLookupBits)];
    int node = entry.node;
    if (entry.length != 0) {
      reader.buffer <<= entry.length;
      reader.bits -= entry.length;
    } else {
      reader.buffer <<= kLookupBits;
      reader.bits -= kLookupBits;
      while (node >= kSymbols) {
        if (reader.bits < 1) reader.Refill();
        node = child_[reader.buffer >> 63][node];
        reader.buffer <<= 1;
        reader.bits -= 1;
      }
    }
    if (node == kEnd) break;
    out[count++] = static_cast<unsigned char>(node);
  }
  return count;
}

uint32_t Huffman_Coder::Decode_Plain(const unsigned char* data, uint32_t length, unsigned char* out,
                                     uint32_t limit) {
  if (root_ < 0) return 0;
  uint32_t pos = 0;
  unsigned mask = 0x80;
  uint32_t count = 0;
  while (count < limit) {
    int node = root_;
    while (node >= kSymbols) {
      int bit = pos < length && (data[pos] & mask) != 0 ? 1 : 0;
      mask >>= 1;
      if (mask == 0) {
        mask = 0x80;
        if (pos <= length) ++pos;
      }
      node = child_[bit][node];
    }
    if (node == kEnd) break;
    out[count++] = static_cast<unsigned char>(node);
  }
  return count;
}

}  // namespace roz

#pragma GCC visibility pop
