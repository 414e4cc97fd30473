// The load timer: a thread that runs a task every 100 ms while the main thread
// loads a node picture, so that music keeps streaming. A tick that comes while the
// previous one still runs is skipped (the busy flag).
//
// Every way out of the program stops the running timers before it releases
// anything (Platform_Stop_Threads): a tick still inside the sound code while exit
// handlers destroy it would crash the process.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class Load_Timer {
 public:
  explicit Load_Timer(void (*task)(), std::chrono::milliseconds period = std::chrono::milliseconds(100));
  ~Load_Timer();
  Load_Timer(const Load_Timer&) = delete;
  Load_Timer& operator=(const Load_Timer&) = delete;

  // Stops the thread and waits up to `wait` for a running tick to end; true when
  // the thread has ended. Called from the task itself it only asks the thread to
  // stop. A thread that does not end in time is left to the end of the process.
  bool stop(std::chrono::milliseconds wait);
  // Ticks run so far.
  int ticks() const { return ticks_; }

 private:
  void run();

  void (*task_)();
  std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool finished_ = false;
  std::atomic<bool> busy_{false};
  std::atomic<int> ticks_{0};
  std::thread thread_;
};
