#include "platform/clock.h"

#include <chrono>

namespace {
int32_t clock_now = 0;
int32_t clock_last = 0;
int32_t clock_delta = 0;
double ms_per_tick = 0.0;
bool clock_running = false;
Clock_Tick_Listener tick_listener = nullptr;

uint32_t counter_low32() { return static_cast<uint32_t>(Counter_Now()); }
}  // namespace

uint64_t Counter_Now() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count() /
                               100);  // 10 MHz, like common performance counters
}

uint64_t Counter_Frequency() { return 10000000; }

uint32_t Time_Ms() { return static_cast<uint32_t>(Counter_Now() / 10000); }

void Clock_Start() {
  if (clock_running) return;
  ms_per_tick = 1000.0 / static_cast<double>(static_cast<uint32_t>(Counter_Frequency()));
  clock_now = static_cast<int32_t>(static_cast<int64_t>(counter_low32() * ms_per_tick));
  clock_delta = 14;
  clock_last = clock_now;
  clock_running = true;
}

void Clock_Stop() {
  if (!clock_running) return;
  ms_per_tick = 0.0;
  clock_running = false;
}

void Clock_Tick() {
  clock_last = clock_now;
  if (!clock_running) {
    clock_delta = 30;
    clock_now += 30;
  } else {
    clock_now = static_cast<int32_t>(static_cast<int64_t>(counter_low32() * ms_per_tick)) + 1;
    int32_t d = static_cast<int32_t>((static_cast<uint32_t>(clock_now) - static_cast<uint32_t>(clock_last)) & 0xFFFF);
    if (d < 4 * clock_delta) {
      clock_delta = d;
    } else {
      clock_delta += (clock_delta >> 2) + 1;
    }
  }
  if (tick_listener != nullptr) tick_listener(clock_delta);
}

void Clock_Set_Tick_Listener(Clock_Tick_Listener listener) { tick_listener = listener; }

int32_t Clock_Now() { return clock_now; }
int32_t Clock_Last() { return clock_last; }
int32_t Clock_Delta() { return clock_delta; }
void Clock_Set_Last(int32_t value) { clock_last = value; }
void Clock_Set_Delta(int32_t value) { clock_delta = value; }
bool Clock_Running() { return clock_running; }
