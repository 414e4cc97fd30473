// The Huffman tree shared by pack methods 4, 5 and 7: its shape is part of the
// stored format, so encoder and decoders build it with the same rule.
#pragma once
#include <cstddef>
#include <cstdint>

struct Huffman_Tree {
  // Nodes 0 to 255 are the leaves (their byte value); 256 to 510 the inner nodes.
  int16_t child[511][2];
  int16_t parent[511];
  int16_t root;
};

// Builds the tree of 256 leaves (zero weights included) from the weights.
void huffman_build_tree(const uint32_t weights[256], Huffman_Tree& tree);

// Bits of the weight table that starts a Huffman stream, for the given weights.
size_t huffman_table_bits(const uint32_t weights[256]);
