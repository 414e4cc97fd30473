#include "files/huffman_tree.h"

// All leaves start in a list in value order. Each step joins the two nodes picked
// below under a new node that takes the first one's place; the list shrinks by
// one until only the root is left. The pick is not plain "two lightest": A starts
// as the first lightest node, B as the head (or the node after it when A is the
// head), and then A becomes the last node in list order lighter than B.
void huffman_build_tree(const uint32_t weights[256], Huffman_Tree& tree) {
  uint32_t weight[511];
  int16_t prev[511], next[511];
  for (int i = 0; i < 511; ++i) {
    tree.child[i][0] = tree.child[i][1] = -1;
    tree.parent[i] = -1;
  }
  for (int i = 0; i < 256; ++i) {
    weight[i] = weights[i];
    prev[i] = static_cast<int16_t>(i - 1);
    next[i] = static_cast<int16_t>(i < 255 ? i + 1 : -1);
  }
  int head = 0;
  int count = 256;
  int made = 256;
  while (count > 1) {
    int a = head;
    for (int x = next[head]; x != -1; x = next[x]) {
      if (weight[x] < weight[a]) a = x;
    }
    int b = a == head ? next[head] : head;
    const uint32_t w = weight[b];
    for (int x = head; x != -1; x = next[x]) {
      if (weight[x] < w && x != a) a = x;
    }
    const int p = made++;
    weight[p] = weight[a] + weight[b];  // wraps like the 32-bit weights it sums
    tree.child[p][0] = static_cast<int16_t>(a);
    tree.child[p][1] = static_cast<int16_t>(b);
    tree.parent[a] = tree.parent[b] = static_cast<int16_t>(p);
    // Unlink B first: it may be A's neighbour, whose links then change.
    if (prev[b] != -1) next[prev[b]] = next[b];
    else head = next[b];
    if (next[b] != -1) prev[next[b]] = prev[b];
    prev[p] = prev[a];
    next[p] = next[a];
    if (prev[a] != -1) next[prev[a]] = static_cast<int16_t>(p);
    else head = p;
    if (next[a] != -1) prev[next[a]] = static_cast<int16_t>(p);
    --count;
  }
  tree.root = static_cast<int16_t>(head);
}

size_t huffman_table_bits(const uint32_t weights[256]) {
  size_t bits = 0;
  for (int i = 0; i < 256; ++i) {
    uint32_t w = weights[i];
    if (w == 0) bits += 1;
    else if (w <= 0xFFu) bits += 3 + 8;
    else if (w <= 0xFFFFu) bits += 3 + 16;
    else if (w <= 0xFFFFFFu) bits += 3 + 24;
    else bits += 3 + 32;
  }
  return bits;
}
