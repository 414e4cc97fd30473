// Saved games: the slot list, the slot files and the pending game.
//
// Slot file, little-endian: level (u32), caption length C (u32), caption, scene
// block length S (u32), scene block, a 40-byte bitmap information header (size
// 40, width, height, planes 1, 16 bits, compression 3, image size, 0, 0, colours
// used 3, 0), the three 5-6-5 masks (u32 each), then the thumbnail rows bottom
// first, each padded to a multiple of 4 bytes.
#include "shell/saved_games.h"

#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "files/byte_reader.h"
#include "files/host_path.h"
#include "platform/clock.h"
#include "platform/record.h"
#include "scene/snapshot.h"
#include "scene/thumbnail.h"
#include "shell/levels.h"
#include "shell/save_cards.h"

namespace {

// The save slots, in their order, and the test hook that fails the next
// replacement of a slot file before its rename.
struct Saved_Games_State {
  std::vector<Save_Slot*> slots;
  bool fail_before_rename = false;
};

Saved_Games_State state;

constexpr uint32_t Header_Size = 40;
constexpr uint32_t Masks[3] = {0xF800, 0x07E0, 0x001F};
// Thumbnails larger than the screen are not from this program.
constexpr int32_t Thumbnail_Limit = 4096;
// The size of the thumbnails the game saves.
constexpr int32_t Saved_Thumbnail_Width = 232;
constexpr int32_t Saved_Thumbnail_Height = 174;

uint32_t row_bytes(int32_t width) { return ((static_cast<uint32_t>(width) * 16 + 31) / 32) * 4; }

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                  static_cast<uint8_t>(v >> 24)};
  out.insert(out.end(), b, b + 4);
}

uint32_t get_u32(Byte_Reader& in) {
  uint8_t b[4];
  in.bytes(b, 4);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void clear_game(Save_Slot& slot) {
  slot.level = 0;
  slot.caption.clear();
  slot.snapshot.clear();
  slot.thumbnail.clear();
  slot.thumbnail_width = slot.thumbnail_height = 0;
}

bool read_file(const char* path, std::vector<uint8_t>& out) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) out.insert(out.end(), buffer, buffer + n);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// Text from the user's locale converted to Windows-1252 (characters it lacks
// become their nearest form or "?").
std::string to_1252(const char* text, locale_t locale) {
  const char* codeset = locale != nullptr ? nl_langinfo_l(CODESET, locale) : "ANSI_X3.4-1968";
  iconv_t convert = iconv_open("WINDOWS-1252//TRANSLIT", codeset);
  if (convert == reinterpret_cast<iconv_t>(-1)) return text;
  std::string in(text), out(in.size() * 4 + 16, '\0');
  char* in_at = in.data();
  size_t in_left = in.size();
  char* out_at = out.data();
  size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(convert, &in_at, &in_left, &out_at, &out_left) != static_cast<size_t>(-1)) break;
    if (out_left == 0) break;
    // An unconvertible or broken byte: write "?" and go on after it.
    *out_at++ = '?';
    --out_left;
    ++in_at;
    --in_left;
  }
  iconv_close(convert);
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace

std::vector<Save_Slot*>& Save_Slots() { return state.slots; }

bool Slot_Read_Bytes(Save_Slot& slot, const uint8_t* data, size_t size) {
  clear_game(slot);
  Byte_Reader in(data, size);
  uint32_t level = get_u32(in);
  uint32_t caption_size = get_u32(in);
  if (!in.ok() || caption_size > in.remaining()) return false;
  std::vector<uint8_t> caption(in.data() + in.position(), in.data() + in.position() + caption_size);
  in.skip(caption_size);
  uint32_t snapshot_size = get_u32(in);
  if (!in.ok() || snapshot_size > in.remaining()) return false;
  std::vector<uint8_t> snapshot(in.data() + in.position(), in.data() + in.position() + snapshot_size);
  in.skip(snapshot_size);
  slot.level = level;
  slot.caption = std::move(caption);
  slot.snapshot = std::move(snapshot);

  // The game is intact; the thumbnail is only shown, so a damaged one does not
  // lose it. A header that cannot be used gives a thumbnail of the game's own
  // size; pixels missing at the end of the file stay black.
  uint32_t header_size = get_u32(in);
  int32_t width = static_cast<int32_t>(get_u32(in));
  int32_t height = static_cast<int32_t>(get_u32(in));
  in.skip(Header_Size - 12);
  in.skip(sizeof Masks);
  const bool header_usable = in.ok() && header_size == Header_Size && width > 0 && height > 0 &&
                             width <= Thumbnail_Limit && height <= Thumbnail_Limit;
  if (!header_usable) {
    width = Saved_Thumbnail_Width;
    height = Saved_Thumbnail_Height;
  }
  slot.thumbnail.assign(static_cast<size_t>(width) * height, 0);
  slot.thumbnail_width = width;
  slot.thumbnail_height = height;
  if (!header_usable) return true;
  // Rows are stored bottom first, each padded to a multiple of 4 bytes.
  const size_t stride = row_bytes(width);
  const uint8_t* pixels = in.data() + in.position();
  const size_t available = in.remaining();
  for (int32_t stored = 0; stored < height; ++stored) {
    const size_t row_start = static_cast<size_t>(stored) * stride;
    if (row_start >= available) break;
    const size_t row_pixels = std::min<size_t>(static_cast<size_t>(width), (available - row_start) / 2);
    const uint8_t* row = pixels + row_start;
    uint16_t* out = slot.thumbnail.data() + static_cast<size_t>(height - 1 - stored) * width;
    for (size_t x = 0; x < row_pixels; ++x) out[x] = static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
  }
  return true;
}

std::vector<uint8_t> Slot_File_Bytes(const Save_Slot& slot) {
  std::vector<uint8_t> out;
  put_u32(out, slot.level);
  put_u32(out, static_cast<uint32_t>(slot.caption.size()));
  out.insert(out.end(), slot.caption.begin(), slot.caption.end());
  put_u32(out, static_cast<uint32_t>(slot.snapshot.size()));
  out.insert(out.end(), slot.snapshot.begin(), slot.snapshot.end());
  const int32_t width = slot.thumbnail_width, height = slot.thumbnail_height;
  const uint32_t stride = row_bytes(width);
  for (uint32_t value : {Header_Size, static_cast<uint32_t>(width), static_cast<uint32_t>(height)}) put_u32(out, value);
  out.push_back(1);  // planes
  out.push_back(0);
  out.push_back(16);  // bits per pixel
  out.push_back(0);
  for (uint32_t value : {3u, stride * static_cast<uint32_t>(height), 0u, 0u, 3u, 0u}) put_u32(out, value);
  for (uint32_t mask : Masks) put_u32(out, mask);
  for (int32_t y = height - 1; y >= 0; --y) {
    size_t row_start = out.size();
    for (int32_t x = 0; x < width; ++x) {
      uint16_t pixel = slot.thumbnail[static_cast<size_t>(y) * width + x];
      out.push_back(static_cast<uint8_t>(pixel));
      out.push_back(static_cast<uint8_t>(pixel >> 8));
    }
    out.resize(row_start + stride, 0);
  }
  return out;
}

void Slot_File_Fail_Before_Rename(bool fail) { state.fail_before_rename = fail; }

int Slot_File_Write(const char* path, const std::vector<uint8_t>& bytes) {
  // Found without regard to case like every game file: an existing SAVED_1.BIN
  // is replaced, not doubled by a second file beside it. A new file keeps the
  // name as written, in the resolved folder.
  const std::string target = resolve_host_path(path);
  const std::string temporary = target + ".tmp";
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return -1;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (state.fail_before_rename) {
    state.fail_before_rename = false;
    ok = false;
  }
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) std::remove(temporary.c_str());
  forget_host_folder(target);  // the folder's listing changed
  return ok ? 0 : -1;
}

std::vector<uint8_t> Slot_Caption_Now(uint32_t level) {
  std::vector<uint8_t> caption;
  locale_t locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", nullptr);
  if (locale == nullptr) locale = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", nullptr);
  // A replay stamps its saves with its own clock (counted from the start of
  // 2000), so that it shows the same cards every time it is played.
  std::time_t now = Replaying() ? static_cast<std::time_t>(946684800 + Counter_Now() / Counter_Frequency())
                                : std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[256];
  // Long date, then the time on the 24-hour clock.
  for (const char* format : {"%A %-d %B %Y", "%H:%M:%S"}) {
    size_t n = locale != nullptr ? strftime_l(text, sizeof text, format, &local, locale)
                                 : std::strftime(text, sizeof text, format, &local);
    text[n] = 0;
    std::string converted = to_1252(text, locale);
    caption.insert(caption.end(), converted.begin(), converted.end());
    caption.push_back(0);
  }
  if (locale != nullptr) freelocale(locale);
  const char* name = Level_Display_Name(level);
  if (name != nullptr) caption.insert(caption.end(), name, name + std::strlen(name));
  caption.push_back(0);
  return caption;
}

Save_Slot* Slot_Create(uint32_t index) {
  Save_Slot* slot = new Save_Slot;
  slot->index = index;
  std::snprintf(slot->file_path, sizeof slot->file_path, "%sSaved_%u.bin", Install_Path(), index + 1);
  slot->tilt = (index & 1) == 0 ? 0.3927f : -0.3927f;
  // A missing or damaged file is an empty slot.
  std::vector<uint8_t> bytes;
  if (read_file(resolve_host_path(slot->file_path).c_str(), bytes)) Slot_Read_Bytes(*slot, bytes.data(), bytes.size());
  return slot;
}

void Slot_Destroy(Save_Slot* slot) { delete slot; }

void Slots_Destroy_All() {
  for (Save_Slot* slot : state.slots) Slot_Destroy(slot);
  state.slots.clear();
}

void Saved_Games_Shutdown() {
  Slots_Destroy_All();
  if (Pending_Game() != nullptr) {
    Slot_Destroy(Pending_Game());
    Set_Pending_Game(nullptr, 0);
  }
}

void Slots_Rebuild() {
  Slots_Destroy_All();
  for (uint32_t index = 0; index < Save_Slot_Count; ++index) {
    Save_Slot* slot = Slot_Create(index);
    Card_Draw_Into_Panorama(*slot);
    state.slots.push_back(slot);
  }
}

bool Slot_Has_Game(int n) {
  return n >= 1 && n <= static_cast<int>(state.slots.size()) && !state.slots[static_cast<size_t>(n - 1)]->caption.empty();
}

int Slot_Save(int n) {
  if (n < 1 || n > static_cast<int>(state.slots.size())) return -1;
  Save_Slot& slot = *state.slots[static_cast<size_t>(n - 1)];
  slot.thumbnail_width = Thumbnail_Width();
  slot.thumbnail_height = Thumbnail_Height();
  const uint16_t* pixels = Thumbnail_Pixels();
  if (pixels == nullptr || slot.thumbnail_width <= 0 || slot.thumbnail_height <= 0) return -1;
  slot.thumbnail.assign(pixels, pixels + static_cast<size_t>(slot.thumbnail_width) * slot.thumbnail_height);
  slot.level = Current_Level();
  slot.caption = Slot_Caption_Now(slot.level);
  const uint8_t* data = nullptr;
  size_t size = 0;
  Scene_State_Save("Save", &data, &size);
  slot.snapshot.assign(data, data + size);
  return Slot_File_Write(slot.file_path, Slot_File_Bytes(slot));
}

int Slot_Choose(int n) {
  if (n < 1 || n > static_cast<int>(state.slots.size())) return -1;
  Save_Slot* slot = state.slots[static_cast<size_t>(n - 1)];
  state.slots.erase(state.slots.begin() + (n - 1));
  if (Pending_Game() != nullptr) Slot_Destroy(Pending_Game());
  Set_Pending_Game(slot, slot->level);
  return 0;
}

int Pending_Apply() {
  Save_Slot* slot = Pending_Game();
  if (slot == nullptr) return -1;
  int result = Scene_State_Restore(slot->snapshot.data(), slot->snapshot.size());
  Slot_Destroy(slot);
  Set_Pending_Game(nullptr, 0);
  return result;
}

void Saved_Games_State_Reset() {
  Saved_Games_Shutdown();
  state = Saved_Games_State{};
}
