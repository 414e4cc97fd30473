// The panorama renderer: one 640 x 480 view per iteration with the yaw changing
// every frame, beside FFmpeg's v360 filter doing a cube-to-flat projection of a
// fixed view (its remap tables are built once, so it only resamples).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "zel_vr/projection.h"
#include "zel_vr/zel_vr.h"

#ifdef BENCH_HAVE_AVFILTER
extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
}
#endif

namespace {

constexpr int View_Width = 640, View_Height = 480;

// A panorama with detail everywhere: a colour ramp per face plus noise.
void paint_panorama(uint16_t* cube) {
  std::mt19937 random(7);
  for (int index = 0; index < zel_vr::Buffer_Pixels; ++index) {
    int face, x, y;
    zel_vr::Buffer_Index_Pixel(index, &face, &x, &y);
    const int noise = static_cast<int>(random() & 7);
    cube[index] = static_cast<uint16_t>(((face * 5 + noise) & 31) << 11 | ((x >> 3) & 63) << 5 | ((y >> 4) & 31));
  }
}

float horizontal_of(int yaw) { return (yaw & 8191) * 0.0007669898f - 1.570795f; }
float vertical_of(int pitch) { return (pitch & 8191) * 0.0007669898f + 1.570795f; }

// The engine's way of turning: a new yaw (and a slowly swinging pitch) each frame.
void draw_turning(benchmark::State& state, ZEL_VR& vr) {
  paint_panorama(vr.Buffer());
  std::vector<uint16_t> screen(View_Width * View_Height);
  int frame = 0;
  for (auto _ : state) {
    const int yaw = frame * 37, pitch = (frame % 512) - 256;
    vr.Draw(screen.data(), horizontal_of(yaw), vertical_of(pitch), 0.0f, 90.0f * 0.01745328f);
    benchmark::DoNotOptimize(screen.data());
    benchmark::ClobberMemory();
    ++frame;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(screen.size() * 2));
}

void BM_Zel_Vr_Draw(benchmark::State& state) {
  ZEL_VR vr;
  draw_turning(state, vr);
}
// Wall time per frame; the CPU column counts both threads.
BENCHMARK(BM_Zel_Vr_Draw)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_Zel_Vr_Draw_One_Thread(benchmark::State& state) {
  setenv("ZEL_VR_THREADS", "1", 1);
  ZEL_VR vr;
  unsetenv("ZEL_VR_THREADS");
  draw_turning(state, vr);
}
BENCHMARK(BM_Zel_Vr_Draw_One_Thread)->Unit(benchmark::kMicrosecond);

// The plain per-pixel renderer the fast one is tested against, for scale.
void BM_Zel_Vr_Draw_Plain(benchmark::State& state) {
  std::vector<uint16_t> cube(zel_vr::Buffer_Pixels + zel_vr::Buffer_Padding), screen(View_Width * View_Height);
  paint_panorama(cube.data());
  int frame = 0;
  for (auto _ : state) {
    const zel_vr::View_Setup setup = zel_vr::Make_View_Setup(
        horizontal_of(frame * 37), vertical_of((frame % 512) - 256), 0.0f, 1.5707963f, View_Width, View_Height, 1.0f);
    zel_vr::Render_Rows_Reference(cube.data(), setup, screen.data(), View_Width, 0, View_Height);
    benchmark::DoNotOptimize(screen.data());
    ++frame;
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(screen.size() * 2));
}
BENCHMARK(BM_Zel_Vr_Draw_Plain)->Unit(benchmark::kMicrosecond);

#ifdef BENCH_HAVE_AVFILTER
// v360 with six 512 x 512 faces side by side (c6x1, faces right, left, up, down,
// front, back) in planar 8-bit RGB, a flat 640 x 480 view out, bilinear, one thread.
void BM_V360_Cube_To_Flat(benchmark::State& state) {
  std::vector<uint16_t> cube(zel_vr::Buffer_Pixels + zel_vr::Buffer_Padding);
  paint_panorama(cube.data());

  AVFilterGraph* graph = avfilter_graph_alloc();
  graph->nb_threads = 1;
  AVFilterContext *source = nullptr, *projection = nullptr, *sink = nullptr;
  char args[160];
  std::snprintf(args, sizeof args, "video_size=3072x512:pix_fmt=%d:time_base=1/25:pixel_aspect=1/1",
                static_cast<int>(AV_PIX_FMT_GBRP));
  bool ok = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args, nullptr, graph) >= 0 &&
            avfilter_graph_create_filter(&projection, avfilter_get_by_name("v360"), "v360",
                                         "input=c6x1:output=flat:interp=linear:w=640:h=480:h_fov=90:v_fov=73.74:"
                                         "yaw=30:pitch=10",
                                         nullptr, graph) >= 0 &&
            avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph) >= 0 &&
            avfilter_link(source, 0, projection, 0) >= 0 && avfilter_link(projection, 0, sink, 0) >= 0 &&
            avfilter_graph_config(graph, nullptr) >= 0;
  AVFrame* input = av_frame_alloc();
  AVFrame* output = av_frame_alloc();
  input->format = AV_PIX_FMT_GBRP;
  input->width = 3072;
  input->height = 512;
  ok = ok && av_frame_get_buffer(input, 0) >= 0;
  if (!ok) {
    state.SkipWithError("v360 graph could not be set up");
  } else {
    const int order[6] = {zel_vr::Face_Right, zel_vr::Face_Left, zel_vr::Face_Up,
                          zel_vr::Face_Down,  zel_vr::Face_Front, zel_vr::Face_Back};
    for (int slot = 0; slot < 6; ++slot)
      for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
          const uint16_t p = cube[zel_vr::Face_Pixel_Index(order[slot], x, y)];
          const int column = slot * 512 + x;
          input->data[0][y * input->linesize[0] + column] = static_cast<uint8_t>((p >> 3) & 0xFC);   // G
          input->data[1][y * input->linesize[1] + column] = static_cast<uint8_t>((p << 3) & 0xF8);   // B
          input->data[2][y * input->linesize[2] + column] = static_cast<uint8_t>((p >> 8) & 0xF8);   // R
        }
    int64_t pts = 0;
    for (auto _ : state) {
      input->pts = pts++;
      if (av_buffersrc_add_frame_flags(source, input, AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
          av_buffersink_get_frame(sink, output) < 0) {
        state.SkipWithError("v360 refused a frame");
        break;
      }
      benchmark::DoNotOptimize(output->data[0]);
      av_frame_unref(output);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{View_Width * View_Height * 2});
  }
  av_frame_free(&input);
  av_frame_free(&output);
  avfilter_graph_free(&graph);
}
BENCHMARK(BM_V360_Cube_To_Flat)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace
