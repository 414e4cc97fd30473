#include "platform/load_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/platform.h"

namespace {

std::atomic<int> calls{0};
void count_call() { ++calls; }

std::atomic<Load_Timer*> self_stopping{nullptr};
std::atomic<bool> stopped_itself{false};
void stop_from_the_task() {
  Load_Timer* timer = self_stopping;
  if (timer == nullptr) return;
  // Asked from the timer's own thread: the stop must not wait for itself.
  stopped_itself = !timer->stop(std::chrono::milliseconds(5000));
}

void wait_for_calls(int count) {
  for (int i = 0; i < 500 && calls < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

TEST(LoadTimer, TicksUntilTheWayOutStopsIt) {
  calls = 0;
  auto timer = std::make_unique<Load_Timer>(count_call, std::chrono::milliseconds(1));
  wait_for_calls(3);
  ASSERT_GE(calls.load(), 3);
  // The way out stops every live timer before anything is released: no tick
  // runs after it, even though the timer object is still alive.
  Platform_Stop_Threads();
  int after_stop = calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(calls.load(), after_stop);
  timer.reset();  // destroying a stopped timer neither waits nor fails
  EXPECT_EQ(calls.load(), after_stop);
}

TEST(LoadTimer, TaskThatStopsItsOwnTimerDoesNotWaitForItself) {
  stopped_itself = false;
  {
    Load_Timer timer(stop_from_the_task, std::chrono::milliseconds(1));
    self_stopping = &timer;
    for (int i = 0; i < 1000 && !stopped_itself; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  self_stopping = nullptr;
  EXPECT_TRUE(stopped_itself);
}
