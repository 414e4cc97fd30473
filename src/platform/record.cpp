#include "platform/record.h"

#include <cstdio>
#include <cstring>

#include "platform/byte_order.h"
#include "platform/platform.h"
#include "platform/platform_state.h"

namespace {

// File layout: the 8-byte signature, the counter frequency (u64), then records of
// a one-byte tag and a little-endian payload:
//   'E' type u8, a i32, b i32     one input event of the current pump
//   'P' n u32                     n pumps ended (the last one after the events
//                                 written before this record, the others empty)
//   'T' counter u64               a counter reading of the frame clock
constexpr char signature[8] = {'O', 'S', 'T', 'R', 'E', 'C', '0', '1'};
constexpr uint64_t counter_frequency = 10000000;

struct Record_State {
  std::FILE* file = nullptr;
  bool recording = false;
  bool replaying = false;

  // Recording state.
  uint32_t pending_empty_pumps = 0;
  uint32_t events_in_pump = 0;

  Replay_End_Handler end_handler = nullptr;

  // Replay state.
  uint32_t replay_empty_pumps = 0;
  bool replay_pump_done = false;
};

Record_State state;

[[noreturn]] void end_replay(int status) {
  if (state.end_handler != nullptr) state.end_handler(status);
  Platform_Exit(status);
}

// 64-bit fields are two little-endian 32-bit halves, the low half first.
void put_u64(uint8_t* at, uint64_t v) {
  Store_Le32(at, static_cast<uint32_t>(v));
  Store_Le32(at + 4, static_cast<uint32_t>(v >> 32));
}
uint64_t get_u64(const uint8_t* at) { return Load_Le32(at) | static_cast<uint64_t>(Load_Le32(at + 4)) << 32; }

void write_bytes(const uint8_t* bytes, size_t size) {
  if (state.file != nullptr) std::fwrite(bytes, 1, size, state.file);
}

void flush_empty_pumps() {
  if (state.pending_empty_pumps == 0) return;
  uint8_t record[5] = {'P'};
  Store_Le32(record + 1, state.pending_empty_pumps);
  write_bytes(record, sizeof record);
  state.pending_empty_pumps = 0;
}

[[noreturn]] void replay_ended() {
  std::fprintf(stderr, "replay: end of the recorded input\n");
  end_replay(0);
}

[[noreturn]] void replay_diverged(const char* what) {
  std::fprintf(stderr, "replay: the run no longer follows the recording (%s)\n", what);
  end_replay(1);
}

// Reads the payload of a record; a file cut inside a record counts as its end.
void read_payload(uint8_t* bytes, size_t size) {
  if (std::fread(bytes, 1, size, state.file) != size) replay_ended();
}

int read_tag() {
  int tag = std::fgetc(state.file);
  if (tag == EOF) replay_ended();
  return tag;
}

}  // namespace

bool Record_Open(const std::string& path, std::string* error) {
  Record_Replay_Close();
  state.file = std::fopen(path.c_str(), "wb");
  if (state.file == nullptr) {
    *error = "cannot write the record file " + path;
    return false;
  }
  uint8_t header[16];
  std::memcpy(header, signature, 8);
  put_u64(header + 8, counter_frequency);
  write_bytes(header, sizeof header);
  state.recording = true;
  state.pending_empty_pumps = 0;
  state.events_in_pump = 0;
  return true;
}

namespace {
// Checks the header of a freshly opened replay stream and makes it current.
bool start_replay(std::FILE* stream, const std::string& name, std::string* error) {
  uint8_t header[16];
  if (std::fread(header, 1, sizeof header, stream) != sizeof header || std::memcmp(header, signature, 8) != 0 ||
      get_u64(header + 8) != counter_frequency) {
    *error = "not a record file: " + name;
    std::fclose(stream);
    return false;
  }
  state.file = stream;
  state.replaying = true;
  state.replay_empty_pumps = 0;
  state.replay_pump_done = false;
  return true;
}
}  // namespace

bool Replay_Open(const std::string& path, std::string* error) {
  Record_Replay_Close();
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) {
    *error = "cannot read the replay file " + path;
    return false;
  }
  return start_replay(stream, path, error);
}

bool Replay_Open_Memory(const uint8_t* bytes, size_t size, std::string* error) {
  Record_Replay_Close();
  std::FILE* stream = size > 0 ? fmemopen(const_cast<uint8_t*>(bytes), size, "rb") : nullptr;
  if (stream == nullptr) {
    *error = "empty replay";
    return false;
  }
  return start_replay(stream, "(memory)", error);
}

void Replay_Set_End_Handler(Replay_End_Handler handler) { state.end_handler = handler; }

void Record_Replay_Close() {
  if (state.file != nullptr) {
    if (state.recording) flush_empty_pumps();
    std::fclose(state.file);
  }
  state.file = nullptr;
  state.recording = state.replaying = false;
}

bool Recording() { return state.recording; }
bool Replaying() { return state.replaying; }

void Record_Event(const Platform_Event& event) {
  if (!state.recording) return;
  flush_empty_pumps();
  uint8_t record[10] = {'E', static_cast<uint8_t>(event.type)};
  Store_Le32(record + 2, static_cast<uint32_t>(event.a));
  Store_Le32(record + 6, static_cast<uint32_t>(event.b));
  write_bytes(record, sizeof record);
  ++state.events_in_pump;
}

void Record_Pump_End() {
  if (!state.recording) return;
  if (state.events_in_pump == 0) {
    ++state.pending_empty_pumps;
    if (state.pending_empty_pumps == UINT32_MAX) flush_empty_pumps();
    return;
  }
  uint8_t record[5] = {'P'};
  Store_Le32(record + 1, 1);
  write_bytes(record, sizeof record);
  state.events_in_pump = 0;
}

void Record_Clock_Reading(uint64_t counter) {
  if (!state.recording) return;
  flush_empty_pumps();
  uint8_t record[9] = {'T'};
  put_u64(record + 1, counter);
  write_bytes(record, sizeof record);
}

void Replay_Pump_Begin() {
  if (!state.replaying) return;
  state.replay_pump_done = false;
  if (state.replay_empty_pumps > 0) {
    --state.replay_empty_pumps;
    state.replay_pump_done = true;
  }
}

bool Replay_Next_Event(Platform_Event* event) {
  if (!state.replaying || state.replay_pump_done) return false;
  int tag = read_tag();
  if (tag == 'E') {
    uint8_t payload[9];
    read_payload(payload, sizeof payload);
    event->type = static_cast<Platform_Event_Type>(payload[0]);
    event->a = static_cast<int32_t>(Load_Le32(payload + 1));
    event->b = static_cast<int32_t>(Load_Le32(payload + 5));
    if (payload[0] < 1 || payload[0] > 9) replay_diverged("unknown event type");
    return true;
  }
  if (tag == 'P') {
    uint8_t payload[4];
    read_payload(payload, sizeof payload);
    uint32_t count = Load_Le32(payload);
    if (count == 0) replay_diverged("empty pump record");
    state.replay_empty_pumps = count - 1;
    state.replay_pump_done = true;
    return false;
  }
  replay_diverged(tag == 'T' ? "a clock reading where a pump was recorded" : "unknown record");
}

uint64_t Replay_Clock_Reading() {
  if (state.replay_empty_pumps > 0) replay_diverged("a clock reading where a pump was recorded");
  int tag = read_tag();
  if (tag != 'T') replay_diverged(tag == 'E' || tag == 'P' ? "a pump where a clock reading was recorded" : "unknown record");
  uint8_t payload[8];
  read_payload(payload, sizeof payload);
  return get_u64(payload);
}

void platform_state::Reset_Record() {
  Record_Replay_Close();
  state = Record_State{};
}
