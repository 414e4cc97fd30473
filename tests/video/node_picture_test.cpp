#include "video/node_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pictures/picture.h"
#include "roz/roz.h"
#include "roz_chunk_writer.h"
#include "video/animation_step.h"
#include "video/engine_targets.h"
#include "video/video_state.h"
#include "scene/runtime.h"
#include "support/temp_dir.h"
#include "support/working_dir.h"

namespace {

constexpr int Panorama_Pixels = 256 * 6144;

// Runs a test inside a temporary folder with a panorama buffer and a node picture.
class NodePictureTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(inside_.entered());
    panorama_.assign(Panorama_Pixels, 0);
    Engine_Set_Panorama_Buffer(panorama_.data());
    Node_Picture_Replace(Picture_Create("warpfix", 640, 480, 16));
  }
  void TearDown() override {
    Video_State_Reset();
  }

  const uint16_t* node_pixels() { return reinterpret_cast<const uint16_t*>(Node_Picture()->pixels); }

  Temp_Dir dir_;
  Scoped_Working_Dir inside_{dir_.path()};
  std::vector<uint16_t> panorama_;
};

std::vector<uint8_t> targa(const std::vector<uint8_t>& bgr_top_first, int bits, bool stored_top_first) {
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;
  out[12] = 640 & 255;
  out[13] = 640 >> 8;
  out[14] = 480 & 255;
  out[15] = 480 >> 8;
  out[16] = static_cast<uint8_t>(bits);
  out[17] = stored_top_first ? 0x20 : 0x00;
  for (int row = 0; row < 480; ++row) {
    int source_row = stored_top_first ? row : 479 - row;
    for (int x = 0; x < 640; ++x) {
      const uint8_t* p = &bgr_top_first[(static_cast<size_t>(source_row) * 640 + x) * 3];
      out.insert(out.end(), p, p + 3);
      if (bits == 32) out.push_back(0xFF);
    }
  }
  return out;
}

std::vector<uint8_t> gradient_bgr(int width, int height) {
  std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>((y % 480) * 255 / 480);
      p[2] = static_cast<uint8_t>((x + y) & 255);
    }
  }
  return bgr;
}

std::vector<uint8_t> tile_of(uint8_t b, uint8_t g, uint8_t r) {
  std::vector<uint8_t> tile;
  for (int i = 0; i < 64; ++i) {
    tile.push_back(b);
    tile.push_back(g);
    tile.push_back(r);
  }
  return tile;
}

// A panorama file with one animation "door" of two frames (red, then blue block at
// pixel 0), with or without a loop marker back to frame `loop`.
std::vector<uint8_t> animated_panorama(bool with_loop, uint32_t loop = 0, int offset = 0) {
  // Encoding a panorama is slow under the sanitizers: do it once.
  static const std::vector<uint8_t> base = [] {
    std::vector<uint8_t> file = roz_chunk::file_header();
    roz_chunk::put_picture(file, roz_chunk::Panorama, std::vector<uint8_t>(256 * 6144 * 3, 0), 80);
    return file;
  }();
  std::vector<uint8_t> file = base;
  roz_chunk::put_anim_header(file, "door", 2);
  roz_chunk::put_anim_frame(file, {offset}, tile_of(0, 0, 255), 100);
  roz_chunk::put_anim_frame(file, {offset}, tile_of(255, 0, 0), 100);
  if (with_loop) roz_chunk::put_anim_loop(file, loop);
  return file;
}

uint16_t red_part(uint16_t pixel) { return pixel >> 11; }
uint16_t blue_part(uint16_t pixel) { return pixel & 31; }

}  // namespace

TEST(TargaTo565, ExactLevelsPassUnchangedAndMidValuesAverageOut) {
  // A uniform picture on exact 5-6-5 levels carries no error.
  std::vector<uint8_t> exact(16 * 8 * 4);
  for (size_t i = 0; i < exact.size(); i += 4) {
    exact[i] = 80;       // blue level 10
    exact[i + 1] = 80;   // green level 20
    exact[i + 2] = 128;  // red level 16
  }
  std::vector<uint16_t> out(16 * 8);
  Targa_To_565(exact.data(), 16, 8, out.data(), 16);
  for (uint16_t pixel : out) ASSERT_EQ(pixel, (16 << 11) | (20 << 5) | 10);

  // A value halfway between two levels dithers to a mixture averaging to it.
  std::vector<uint8_t> grey(64 * 64 * 4, 0);
  for (size_t i = 0; i < grey.size(); i += 4) grey[i] = 4;  // blue between levels 0 and 8
  std::vector<uint16_t> dithered(64 * 64);
  Targa_To_565(grey.data(), 64, 64, dithered.data(), 64);
  double sum = 0;
  int low = 0, high = 0;
  for (int y = 0; y < 63; ++y) {
    for (int x = 0; x < 63; ++x) {
      int level = blue_part(dithered[y * 64 + x]);
      sum += level * 8;
      (level == 0 ? low : high) += 1;
    }
  }
  EXPECT_NEAR(sum / (63 * 63), 4.0, 0.5);
  EXPECT_GT(low, 1000);
  EXPECT_GT(high, 1000);
}

TEST_F(NodePictureTest, TargaLoadsAsFlatPictureWhateverItsRowOrder) {
  std::vector<uint8_t> bgr = gradient_bgr(640, 480);
  dir_.write("TOP.TGA", targa(bgr, 24, true));
  dir_.write("BOTTOM.TGA", targa(bgr, 32, false));
  ASSERT_EQ(Load_Node_Picture("TOP.TGA"), 1);
  std::vector<uint16_t> top(node_pixels(), node_pixels() + 640 * 480);
  ASSERT_EQ(Load_Node_Picture("bottom.tga"), 1);  // found without regard to case
  std::vector<uint16_t> bottom(node_pixels(), node_pixels() + 640 * 480);
  EXPECT_EQ(top, bottom);
  EXPECT_EQ(Node_Picture_Width(), 0);
  EXPECT_EQ(Anim_Count(), 0);
  // Top-left pixel is dark in blue, bottom-right bright.
  EXPECT_LT(blue_part(top[0]), 2);
  EXPECT_GT(blue_part(top[640 * 480 - 1]), 29);
}

TEST_F(NodePictureTest, RozPanoramaDecodesIntoThePanoramaBufferWithItsAnimations) {
  std::vector<uint8_t> file = animated_panorama(true);
  roz_chunk::put_anim_header(file, "lamp", 0);
  dir_.write("HALL.ROZ", file);
  ASSERT_EQ(Load_Node_Picture("HALL.ROZ"), 0);
  EXPECT_EQ(Node_Picture_Width(), 256);
  ASSERT_EQ(Anim_Count(), 2);
  EXPECT_STREQ(Anim_Name(0), "door");
  EXPECT_EQ(Anim_Find("LAMP"), 1);
  EXPECT_EQ(Anim_Find("window"), -1);

  // The buffer holds exactly what the fixed-size decoder makes of the stream.
  std::vector<uint8_t> stream =
      roz_chunk::encode_picture(std::vector<uint8_t>(256 * 6144 * 3, 0), 256, 6144, 80);
  std::vector<uint16_t> expected(Panorama_Pixels);
  Unpack_Picture_Rgb_16_16_256_6144(expected.data(), stream.data(), static_cast<int>(stream.size()), 80);
  EXPECT_EQ(panorama_, expected);
}

TEST_F(NodePictureTest, FileChoiceAndFallbacks) {
  // Both picture chunks: the panorama wins.
  std::vector<uint8_t> both = roz_chunk::file_header();
  roz_chunk::put_picture(both, roz_chunk::Flat, std::vector<uint8_t>(640 * 480 * 3, 200), 50);
  roz_chunk::put_picture(both, roz_chunk::Panorama, std::vector<uint8_t>(256 * 6144 * 3, 10), 50);
  dir_.write("BOTH.ROZ", both);
  EXPECT_EQ(Load_Node_Picture("BOTH.ROZ"), 0);

  // Only the flat chunk: a flat picture of width 640.
  std::vector<uint8_t> flat = roz_chunk::file_header();
  roz_chunk::put_picture(flat, roz_chunk::Flat, std::vector<uint8_t>(640 * 480 * 3, 255), 50);
  dir_.write("MENU.ROZ", flat);
  EXPECT_EQ(Load_Node_Picture("MENU.ROZ"), 1);
  EXPECT_EQ(Node_Picture_Width(), 640);
  EXPECT_EQ(node_pixels()[1000], 0xFFFF);

  // No file header: not a ROZ file, so the raw panorama step takes it (5-5-5 to 5-6-5).
  std::vector<uint8_t> foreign = both;
  foreign[0] = 0xFF;
  foreign[1] = 0x7F;
  foreign[2] = 0x1F;
  foreign[3] = 0x00;
  dir_.write("RAW.PAN", foreign);
  EXPECT_EQ(Load_Node_Picture("RAW.PAN"), 0);
  EXPECT_EQ(panorama_[0], 0xFFDF);  // the new low green bit is 0
  EXPECT_EQ(panorama_[1], 0x001F);
  EXPECT_EQ(Node_Picture_Width(), 0);

  // A raw file larger than the panorama buffer fills it and stops there.
  dir_.write("BIG.PAN", std::vector<uint8_t>(Panorama_Pixels * 2 + 5000, 0x21));
  EXPECT_EQ(Load_Node_Picture("BIG.PAN"), 0);

  EXPECT_EQ(Load_Node_Picture("MISSING.ROZ"), -1);
}

// Damaged Targa and ROZ files load nothing: they are never shown as a raw
// panorama. Files of neither kind still are.
TEST_F(NodePictureTest, DamagedNodePicturesLoadNothing) {
  std::vector<uint8_t> good = roz_chunk::file_header();
  roz_chunk::put_picture(good, roz_chunk::Flat, std::vector<uint8_t>(640 * 480 * 3, 255), 50);
  // Cut inside the stream: the stream runs past the end of the file.
  std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  dir_.write("CUT.ROZ", cut);
  EXPECT_EQ(Load_Node_Picture("CUT.ROZ"), -1);
  EXPECT_EQ(Node_Picture_Width(), 0);
  // A chunk claiming a size below its header ends the walk instead of looping,
  // before the picture chunk is reached.
  std::vector<uint8_t> zero_size = roz_chunk::file_header();
  roz_chunk::put_u32(zero_size, roz_chunk::Anim_Header);
  roz_chunk::put_u32(zero_size, 0);
  zero_size.insert(zero_size.end(), good.begin() + 8, good.end());
  dir_.write("ZERO.ROZ", zero_size);
  EXPECT_EQ(Load_Node_Picture("ZERO.ROZ"), -1);
  // A stream whose Huffman table is damaged is refused by the decoder.
  std::vector<uint8_t> damaged = good;
  for (size_t i = 24; i < 40 && i < damaged.size(); ++i) damaged[i] = 0xFF;
  dir_.write("BAD.ROZ", damaged);
  EXPECT_EQ(Load_Node_Picture("BAD.ROZ"), -1);
  // A ROZ file with neither picture chunk, only its header.
  dir_.write("EMPTY.ROZ", roz_chunk::file_header());
  EXPECT_EQ(Load_Node_Picture("EMPTY.ROZ"), -1);

  // A 640 x 480 true-colour Targa cut inside its pixels: not shown as a raw
  // panorama either.
  std::vector<uint8_t> tga = targa(gradient_bgr(640, 480), 24, true);
  tga.resize(tga.size() - 1);
  dir_.write("CUT.TGA", tga);
  panorama_[0] = 0x1234;
  EXPECT_EQ(Load_Node_Picture("CUT.TGA"), -1);
  EXPECT_EQ(panorama_[0], 0x1234);
  // A Targa header of another size is no node picture Targa: the raw step takes it.
  tga[12] = 64;
  tga[13] = 1;  // width 320
  dir_.write("SMALL.PAN", tga);
  EXPECT_EQ(Load_Node_Picture("SMALL.PAN"), 0);
}

namespace {

// ROZ files laid out byte by byte: u32 id, u32 size, payload, little-endian.
void put_le32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A picture chunk with the given size field: quality, stream length, stream.
void put_picture_chunk(std::vector<uint8_t>& out, uint32_t id, uint32_t size_field, int quality,
                       const std::vector<uint8_t>& stream) {
  put_le32(out, id);
  put_le32(out, size_field);
  put_le32(out, static_cast<uint32_t>(quality));
  put_le32(out, static_cast<uint32_t>(stream.size()));
  out.insert(out.end(), stream.begin(), stream.end());
}

const std::vector<uint8_t>& black_panorama_stream() {
  static const std::vector<uint8_t> stream =
      roz_chunk::encode_picture(std::vector<uint8_t>(256 * 6144 * 3, 0), 256, 6144, 80);
  return stream;
}

}  // namespace

TEST_F(NodePictureTest, FileHeaderSizeFieldIsNotUsed) {
  const std::vector<uint8_t>& stream = black_panorama_stream();
  std::vector<uint16_t> expected(Panorama_Pixels);
  Unpack_Picture_Rgb_16_16_256_6144(expected.data(), const_cast<uint8_t*>(stream.data()),
                                    static_cast<int>(stream.size()), 80);
  std::vector<uint8_t> rest;  // everything after the file header chunk
  put_picture_chunk(rest, 0xA0B1C200, static_cast<uint32_t>(16 + stream.size()), 80, stream);
  roz_chunk::put_anim_header(rest, "door", 2);
  roz_chunk::put_anim_frame(rest, {0}, tile_of(0, 0, 255), 100);
  roz_chunk::put_anim_frame(rest, {0}, tile_of(255, 0, 0), 100);

  const uint32_t length = static_cast<uint32_t>(8 + rest.size());
  for (uint32_t header_size : {0u, length, 7u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(testing::Message() << "header size " << header_size);
    std::vector<uint8_t> file;
    put_le32(file, 0x12FA84AB);
    put_le32(file, header_size);
    file.insert(file.end(), rest.begin(), rest.end());
    dir_.write("HEAD.ROZ", file);
    std::fill(panorama_.begin(), panorama_.end(), 0x5555);
    ASSERT_EQ(Load_Node_Picture("HEAD.ROZ"), 0);
    EXPECT_EQ(panorama_, expected);
    ASSERT_EQ(Anim_Count(), 1);
    Anim_Slot* slot = Anim_Slot_At(0);
    ASSERT_EQ(Block_Anim_Open(slot, "door"), 1);
    EXPECT_EQ(slot->frame_count, 2u);
    EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 1);
    EXPECT_GT(red_part(panorama_[0]), 28);
    EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 0);
    EXPECT_GT(blue_part(panorama_[0]), 28);
  }
}

TEST_F(NodePictureTest, PictureChunkIsReadByItsStreamLength) {
  std::vector<uint8_t> bgr = gradient_bgr(640, 480);
  std::vector<uint8_t> stream = roz_chunk::encode_picture(bgr, 640, 480, 60);
  std::vector<uint16_t> expected(640 * 480);
  Unpack_Picture_Rgb_16_16_640_480(expected.data(), stream.data(), static_cast<int>(stream.size()), 60);
  const uint32_t true_size = static_cast<uint32_t>(16 + stream.size());
  // Whatever the chunk's size field says, the stream is read by its length, up
  // to the very end of the file.
  for (uint32_t size_field : {true_size, 0u, 8u, true_size - 1, true_size + 1000, 0xFFFFFFFFu}) {
    SCOPED_TRACE(testing::Message() << "size field " << size_field);
    std::vector<uint8_t> file = roz_chunk::file_header();
    put_picture_chunk(file, 0xA0B1C400, size_field, 60, stream);
    dir_.write("FLAT.ROZ", file);
    std::fill(reinterpret_cast<uint16_t*>(Node_Picture()->pixels),
              reinterpret_cast<uint16_t*>(Node_Picture()->pixels) + 640 * 480, 0x5555);
    ASSERT_EQ(Load_Node_Picture("FLAT.ROZ"), 1);
    EXPECT_EQ(std::vector<uint16_t>(node_pixels(), node_pixels() + 640 * 480), expected);
    EXPECT_EQ(Node_Picture_Width(), 640);
  }
  // A stream length running one byte past the end of the file is refused.
  std::vector<uint8_t> file = roz_chunk::file_header();
  put_picture_chunk(file, 0xA0B1C400, true_size, 60, stream);
  file.pop_back();
  dir_.write("SHORT.ROZ", file);
  EXPECT_EQ(Load_Node_Picture("SHORT.ROZ"), -1);
}

TEST_F(NodePictureTest, AnimationsLoopEndAndStop) {
  dir_.write("LOOP.ROZ", animated_panorama(true, 0));
  dir_.write("ONCE.ROZ", animated_panorama(false));
  ASSERT_EQ(Load_Node_Picture("LOOP.ROZ"), 0);
  Anim_Slot* slot = Anim_Slot_At(0);
  ASSERT_NE(slot, nullptr);
  ASSERT_EQ(Block_Anim_Open(slot, "DOOR"), 1);
  EXPECT_EQ(slot->frame_count, 2u);
  // The loop marker brings it back to frame 0 again and again.
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 1);
    EXPECT_GT(red_part(panorama_[0]), 28);
    ASSERT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 1);
    EXPECT_GT(blue_part(panorama_[0]), 28);
    EXPECT_EQ(slot->frame_index, 0u);
  }
  // A stop request takes effect once the last frame has been shown.
  slot->stop_requested = 1;
  EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 1);
  EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 0);
  EXPECT_EQ(slot->reader, -1);

  // Without a loop marker it plays once.
  ASSERT_EQ(Load_Node_Picture("ONCE.ROZ"), 0);
  slot = Anim_Slot_At(0);
  ASSERT_EQ(Block_Anim_Open(slot, "door"), 1);
  EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 1);
  EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 0);
  EXPECT_EQ(Block_Anim_Open(slot, "nothing"), 0);
}

// A reset forgets the animations and the file they come from, frees the node
// picture, forgets the panorama buffer and stops the waves; twice is harmless.
TEST_F(NodePictureTest, VideoStateResetReleasesAnimationsAndPictures) {
  dir_.write("LOOP.ROZ", animated_panorama(true, 0));
  ASSERT_EQ(Load_Node_Picture("LOOP.ROZ"), 0);
  ASSERT_EQ(Block_Anim_Open(Anim_Slot_At(0), "door"), 1);
  Waves_Start();
  for (int round = 0; round < 2; ++round) {
    Video_State_Reset();
    EXPECT_EQ(Anim_Count(), 0);
    EXPECT_EQ(Anim_Slot_At(0), nullptr);
    EXPECT_EQ(Node_Picture_Width(), 0);
    EXPECT_EQ(Node_Picture(), nullptr);
    EXPECT_EQ(Panorama_Buffer(), nullptr);
    EXPECT_FALSE(Waves_Active());
    EXPECT_EQ(Waves_Phase(), 0.0f);
    Anim_Slot fresh{};
    fresh.reader = -1;
    EXPECT_EQ(Block_Anim_Open(&fresh, "door"), 0);
  }
}

TEST_F(NodePictureTest, AnimationBlocksOutsideTheTargetEndTheAnimation) {
  // Offsets whose 8 x 8 block would leave the panorama, or wrap past a row's end.
  for (int offset : {Panorama_Pixels - 8, 250, -1}) {
    dir_.write("BAD.ROZ", animated_panorama(true, 0, offset));
    ASSERT_EQ(Load_Node_Picture("BAD.ROZ"), 0);
    Anim_Slot* slot = Anim_Slot_At(0);
    ASSERT_EQ(Block_Anim_Open(slot, "door"), 1);
    EXPECT_EQ(Anim_Step(slot, panorama_.data(), 16, 256), 0) << "offset " << offset;
  }
}

TEST_F(NodePictureTest, FacesRoundTripThroughTheTileLayout) {
  std::vector<uint16_t> face(512 * 512);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) face[y * 512 + x] = static_cast<uint16_t>(x * 3 + y * 7);
  Panorama_Face_Put(3, face.data());
  // Tile order top-left, top-right, bottom-right, bottom-left.
  const uint16_t* base = panorama_.data() + 3 * 262144;
  EXPECT_EQ(base[0], face[0]);
  EXPECT_EQ(base[65536], face[256]);                     // top-right tile starts at (256, 0)
  EXPECT_EQ(base[2 * 65536], face[256 * 512 + 256]);     // bottom-right
  EXPECT_EQ(base[3 * 65536 + 5 * 256 + 9], face[(256 + 5) * 512 + 9]);  // bottom-left
  std::vector<uint16_t> back(512 * 512);
  Panorama_Face_Get(back.data(), 3);
  EXPECT_EQ(back, face);
}
