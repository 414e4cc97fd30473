// ZEL_VR: the panorama buffer, the destination settings and the drawing of a view,
// shared between the calling thread and one persistent worker thread when the
// machine has a second core.
#include "zel_vr/zel_vr.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "zel_vr/projection.h"

using zel_vr::View_Setup;

struct ZEL_VR::State {
  uint16_t* cube = nullptr;
  int x = 0, y = 0, width = 640, height = 480, row_length = 640;
  float pixel_aspect = 1.0f;

  // A view is drawn in bands of Band_Rows rows that the caller and the worker
  // take in turn from `next_row` until none is left. The caller publishes a job
  // (job_state 1, open) and wakes the worker; a worker that wakes in time takes
  // it (state 2) and reports the job's ticket in `finished` when its last band is
  // drawn. A caller that ran out of bands before the worker woke closes the job
  // (state 0) and returns at once, so a busy second core never delays a frame.
  static constexpr int Band_Rows = 16;
  bool worker_wanted = false;
  bool worker_running = false;
  std::thread worker;
  std::atomic<uint32_t> request{0};
  std::atomic<uint32_t> finished{0};
  std::atomic<int> job_state{0};
  std::atomic<int> next_row{0};
  std::atomic<bool> stopping{false};
  View_Setup job;
  uint16_t* job_target = nullptr;
  uint32_t job_ticket = 0;

  void draw_bands(const View_Setup& setup, uint16_t* target) {
    for (;;) {
      const int first = next_row.fetch_add(Band_Rows, std::memory_order_relaxed);
      if (first >= setup.height) return;
      const int last = first + Band_Rows < setup.height ? first + Band_Rows : setup.height;
      zel_vr::Render_Rows_Fast(cube, setup, target, row_length, first, last);
    }
  }

  void worker_loop() {
    uint32_t seen = 0;
    for (;;) {
      request.wait(seen, std::memory_order_acquire);
      seen = request.load(std::memory_order_acquire);
      if (stopping.load(std::memory_order_acquire)) return;
      int open = 1;
      if (!job_state.compare_exchange_strong(open, 2, std::memory_order_acq_rel)) continue;
      draw_bands(job, job_target);
      finished.store(job_ticket, std::memory_order_release);
      finished.notify_one();
    }
  }

  bool start_worker() {
    if (worker_running) return true;
    if (!worker_wanted) return false;
    try {
      worker = std::thread([this] { worker_loop(); });
      worker_running = true;
    } catch (...) {
      worker_wanted = false;  // no thread to be had: draw alone from now on
    }
    return worker_running;
  }
};

ZEL_VR::ZEL_VR() : state_(new State) {
  const size_t bytes = (zel_vr::Buffer_Pixels + zel_vr::Buffer_Padding) * sizeof(uint16_t);
  state_->cube = static_cast<uint16_t*>(std::aligned_alloc(64, bytes));
  if (!state_->cube) {
    std::fputs("zel_vr: no memory for the panorama buffer\n", stderr);
    std::abort();
  }
  std::memset(state_->cube, 0, bytes);
  // ZEL_VR_THREADS=1 keeps all drawing on the caller's thread.
  const char* threads = std::getenv("ZEL_VR_THREADS");
  state_->worker_wanted = std::thread::hardware_concurrency() >= 2 && !(threads && std::atoi(threads) == 1);
}

ZEL_VR::~ZEL_VR() {
  if (state_->worker_running) {
    state_->stopping.store(true, std::memory_order_release);
    state_->request.fetch_add(1, std::memory_order_release);
    state_->request.notify_one();
    state_->worker.join();
  }
  std::free(state_->cube);
  delete state_;
}

int ZEL_VR::Init_Resolution(float x, float y, float width, float height, int row_length, float pixel_aspect) {
  const float limit = static_cast<float>(zel_vr::Max_View_Width);
  for (float value : {x, y, width, height}) {
    if (!std::isfinite(value) || value < 0 || value > limit) return -1;
  }
  const int left = static_cast<int>(std::lround(x)), top = static_cast<int>(std::lround(y));
  const int w = static_cast<int>(std::lround(width)), h = static_cast<int>(std::lround(height));
  if (w < 1 || h < 1 || row_length < left + w) return -1;
  if (!std::isfinite(pixel_aspect) || pixel_aspect <= 0) return -1;
  state_->x = left;
  state_->y = top;
  state_->width = w;
  state_->height = h;
  state_->row_length = row_length;
  state_->pixel_aspect = pixel_aspect;
  return 0;
}

unsigned short* ZEL_VR::Buffer() { return state_->cube; }

void ZEL_VR::Draw(unsigned short* target, float horizontal, float vertical, float roll, float fov) {
  if (!target) return;
  State& s = *state_;
  const View_Setup setup =
      zel_vr::Make_View_Setup(horizontal, vertical, roll, fov, s.width, s.height, s.pixel_aspect);
  uint16_t* origin = target + static_cast<ptrdiff_t>(s.y) * s.row_length + s.x;
  if (s.height > State::Band_Rows && s.start_worker()) {
    const uint32_t ticket = s.request.load(std::memory_order_relaxed) + 1;
    s.job = setup;
    s.job_target = origin;
    s.job_ticket = ticket;
    s.next_row.store(0, std::memory_order_relaxed);
    s.job_state.store(1, std::memory_order_release);
    s.request.store(ticket, std::memory_order_release);
    s.request.notify_one();
    s.draw_bands(setup, origin);
    int open = 1;
    if (s.job_state.compare_exchange_strong(open, 0, std::memory_order_acq_rel)) return;  // worker never came
    for (uint32_t done = s.finished.load(std::memory_order_acquire); done != ticket;
         done = s.finished.load(std::memory_order_acquire)) {
      s.finished.wait(done, std::memory_order_acquire);
    }
    return;
  }
  zel_vr::Render_Rows_Fast(s.cube, setup, origin, s.row_length, 0, s.height);
}
