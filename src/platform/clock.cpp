#include "platform/clock.h"

#include <atomic>
#include <chrono>

#include "platform/platform_state.h"
#include "platform/record.h"

namespace {
struct Clock_State {
  int32_t clock_now = 0;
  int32_t clock_last = 0;
  int32_t clock_delta = 0;
  double ms_per_tick = 0.0;
  bool clock_running = false;
  Clock_Tick_Listener tick_listener = nullptr;

  // The sound tick's timer thread reads the counter too.
  std::atomic<bool> virtual_counter_on{false};
  std::atomic<uint64_t> virtual_counter{0};
  std::atomic<uint64_t> virtual_reads{0};
  uint64_t virtual_step = 0;
};

Clock_State state;

const std::chrono::steady_clock::time_point program_start = std::chrono::steady_clock::now();

uint64_t real_counter() {
  auto elapsed = std::chrono::steady_clock::now() - program_start;
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100);
}

// The counter as the frame clock reads it: from the replay file, or read (and
// recorded) now.
uint64_t frame_clock_counter() {
  if (Replaying()) {
    uint64_t value = Replay_Clock_Reading();
    Clock_Use_Virtual_Counter(true);
    Clock_Set_Virtual_Counter(value);
    return value;
  }
  if (state.virtual_counter_on && state.virtual_step != 0) {
    // Exactly what a replay of this run will do with the reading.
    Clock_Set_Virtual_Counter(state.virtual_counter + state.virtual_step);
  }
  uint64_t value = state.virtual_counter_on ? state.virtual_counter.load() : real_counter();
  Record_Clock_Reading(value);
  return value;
}

// The full counter, not only its low 32 bits: those wrap every seven minutes,
// and the frame clock would then jump back by that much.
int32_t counter_to_ms(uint64_t counter) {
  return static_cast<int32_t>(static_cast<int64_t>(static_cast<double>(counter) * state.ms_per_tick));
}
}  // namespace

uint64_t Counter_Now() {
  if (state.virtual_counter_on) return state.virtual_counter + state.virtual_reads++;
  return real_counter();
}

uint64_t Counter_Frequency() { return 10000000; }

uint32_t Time_Ms() { return static_cast<uint32_t>(Counter_Now() / 10000); }

void Clock_Use_Virtual_Counter(bool on) { state.virtual_counter_on = on; }

void Clock_Set_Virtual_Counter(uint64_t counter) {
  state.virtual_counter = counter;
  state.virtual_reads = 0;
}

void Clock_Set_Virtual_Step(uint64_t counts) { state.virtual_step = counts; }

void Clock_Reset() {
  state.clock_now = state.clock_last = state.clock_delta = 0;
  state.ms_per_tick = 0.0;
  state.clock_running = false;
}

void Clock_Start() {
  if (state.clock_running) return;
  state.ms_per_tick = 1000.0 / static_cast<double>(Counter_Frequency());
  state.clock_now = counter_to_ms(frame_clock_counter());
  state.clock_delta = 14;
  state.clock_last = state.clock_now;
  state.clock_running = true;
}

void Clock_Stop() {
  if (!state.clock_running) return;
  state.ms_per_tick = 0.0;
  state.clock_running = false;
}

void Clock_Tick() {
  // The counter is read (and recorded) on every tick, running or not, so that a
  // replay advances its virtual time frame by frame in both states.
  uint64_t counter = frame_clock_counter();
  state.clock_last = state.clock_now;
  if (!state.clock_running) {
    state.clock_delta = 30;
    state.clock_now += 30;
  } else {
    state.clock_now = counter_to_ms(counter) + 1;
    int32_t d = static_cast<int32_t>(
        (static_cast<uint32_t>(state.clock_now) - static_cast<uint32_t>(state.clock_last)) & 0xFFFFu);
    if (d < 4 * static_cast<int64_t>(state.clock_delta)) {
      state.clock_delta = d;
    } else {
      state.clock_delta += (state.clock_delta >> 2) + 1;
    }
  }
  if (state.tick_listener != nullptr) state.tick_listener(state.clock_delta);
}

void Clock_Set_Tick_Listener(Clock_Tick_Listener listener) { state.tick_listener = listener; }

int32_t Clock_Now() { return state.clock_now; }
int32_t Clock_Last() { return state.clock_last; }
int32_t Clock_Delta() { return state.clock_delta; }
void Clock_Set_Last(int32_t value) { state.clock_last = value; }
void Clock_Set_Delta(int32_t value) { state.clock_delta = value; }
bool Clock_Running() { return state.clock_running; }

void platform_state::Reset_Clock() {
  Clock_Reset();
  state.tick_listener = nullptr;
  state.virtual_counter_on = false;
  state.virtual_counter = 0;
  state.virtual_reads = 0;
  state.virtual_step = 0;
}
