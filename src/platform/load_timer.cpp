#include "platform/load_timer.h"

#include <algorithm>
#include <vector>

#include "platform/platform.h"

namespace {

struct Load_Timer_State {
  // The timers alive now. The way out stops them all; a timer leaves the list when
  // it is destroyed. The list's lock is held while a timer is stopped, so that no
  // timer is destroyed under the stopper's feet.
  std::mutex timers_lock;
  std::vector<Load_Timer*> timers;
  bool stopper_registered = false;  // the way out takes the stopper off its list
};

Load_Timer_State state;

// Long enough for any tick that is not stuck behind the thread stopping it.
constexpr std::chrono::milliseconds exit_wait(1000);

void stop_all_timers() {
  std::lock_guard<std::mutex> guard(state.timers_lock);
  state.stopper_registered = false;
  for (Load_Timer* timer : state.timers) timer->stop(exit_wait);
}

}  // namespace

Load_Timer::Load_Timer(void (*task)(), std::chrono::milliseconds period) : task_(task), period_(period) {
  {
    std::lock_guard<std::mutex> guard(state.timers_lock);
    state.timers.push_back(this);
    if (!state.stopper_registered) Platform_Add_Thread_Stopper(stop_all_timers);
    state.stopper_registered = true;
  }
  thread_ = std::thread([this] { run(); });
}

Load_Timer::~Load_Timer() {
  {
    std::lock_guard<std::mutex> guard(state.timers_lock);
    state.timers.erase(std::remove(state.timers.begin(), state.timers.end(), this), state.timers.end());
    if (state.timers.empty() && state.stopper_registered) {
      Platform_Remove_Thread_Stopper(stop_all_timers);
      state.stopper_registered = false;
    }
  }
  stop(std::chrono::milliseconds::max());
}

bool Load_Timer::stop(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  stop_ = true;
  wake_.notify_all();
  if (!thread_.joinable()) return finished_;
  if (std::this_thread::get_id() == thread_.get_id()) return false;
  bool ended = wait == std::chrono::milliseconds::max() ? (wake_.wait(lock, [this] { return finished_; }), true)
                                                         : wake_.wait_for(lock, wait, [this] { return finished_; });
  lock.unlock();
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
  return ended;
}

void Load_Timer::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, period_, [this] { return stop_; })) {
    if (busy_.exchange(true)) continue;
    lock.unlock();
    task_();
    ++ticks_;
    lock.lock();
    busy_ = false;
  }
  finished_ = true;
  wake_.notify_all();
}
