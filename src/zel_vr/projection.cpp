// Camera set-up and the plain renderer: rays, cube lookups and filtered samples
// one pixel at a time. It is the definition the fast kernel is tested against.
#include "zel_vr/projection.h"

#include <cmath>
#include <cstddef>

namespace zel_vr {

View_Setup Make_View_Setup(float horizontal, float vertical, float roll, float fov, int width, int height,
                           float pixel_aspect) {
  // The engine passes yaw - pi/2 and pitch + pi/2 with this float for pi/2, so
  // yaw 0 and pitch 0 give exactly zero here.
  const float quarter = 1.570795f;
  const double theta = std::isfinite(horizontal) ? static_cast<double>(horizontal + quarter) : 0.0;
  const double phi = std::isfinite(vertical) ? static_cast<double>(vertical - quarter) : 0.0;
  const double rho = std::isfinite(roll) ? static_cast<double>(roll) : 0.0;
  double field = std::isfinite(fov) && fov > 0 ? fov : M_PI / 2;
  field = field < 0.001 ? 0.001 : (field > 3.1 ? 3.1 : field);
  const double aspect = std::isfinite(pixel_aspect) && pixel_aspect > 0 ? pixel_aspect : 1.0;

  const double ct = std::cos(theta), st = std::sin(theta), cp = std::cos(phi), sp = std::sin(phi);
  const double forward[3] = {cp * st, sp, cp * ct};
  const double right0[3] = {ct, 0.0, -st};
  const double up0[3] = {-sp * st, cp, -sp * ct};
  const double cr = std::cos(rho), sr = std::sin(rho);
  const double scale_x = std::tan(field / 2) / (width / 2.0);
  const double scale_y = scale_x * aspect;

  View_Setup setup;
  setup.width = width;
  setup.height = height;
  setup.spans = field <= Span_Fov_Limit;
  for (int c = 0; c < 3; ++c) {
    const double right = right0[c] * cr - up0[c] * sr;
    const double up = up0[c] * cr + right0[c] * sr;
    const double step = right * scale_x, down = -up * scale_y;
    setup.step[c] = static_cast<float>(step);
    setup.down[c] = static_cast<float>(down);
    setup.base[c] = static_cast<float>(forward[c] + (0.5 - width / 2.0) * step + (0.5 - height / 2.0) * down);
  }
  return setup;
}

void Render_Rows_Reference(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                           int first_row, int last_row) {
  for (int y = first_row; y < last_row; ++y) {
    float row[3];
    for (int c = 0; c < 3; ++c) row[c] = setup.base[c] + static_cast<float>(y) * setup.down[c];
    const auto locate = [&](int x) {
      const float fx = static_cast<float>(x);
      return Locate_Ray(row[0] + fx * setup.step[0], row[1] + fx * setup.step[1], row[2] + fx * setup.step[2]);
    };
    uint16_t* out = target + static_cast<ptrdiff_t>(y) * row_length;
    int x = 0;
    for (; setup.spans && x + Span <= setup.width; x += Span) {
      const Cube_Point start = locate(x), end = locate(x + Span);
      for (int j = 0; j < Span; ++j) {
        if (start.face == end.face) {
          out[x + j] = Sample_Cube(cube, start.face, Span_Lerp(start.u, end.u, j), Span_Lerp(start.v, end.v, j));
        } else {
          const Cube_Point p = locate(x + j);
          out[x + j] = Sample_Cube(cube, p.face, p.u, p.v);
        }
      }
    }
    for (; x < setup.width; ++x) {
      const Cube_Point p = locate(x);
      out[x] = Sample_Cube(cube, p.face, p.u, p.v);
    }
  }
}

bool Fast_Path_Available() {
#if defined(ZEL_VR_HAVE_AVX2_PATH)
  static const bool available = __builtin_cpu_supports("avx2");
  return available;
#else
  return false;
#endif
}

void Render_Rows_Fast(const uint16_t* cube, const View_Setup& setup, uint16_t* target, int row_length,
                      int first_row, int last_row) {
#if defined(ZEL_VR_HAVE_AVX2_PATH)
  if (Fast_Path_Available()) {
    Render_Rows_Avx2(cube, setup, target, row_length, first_row, last_row);
    return;
  }
#endif
  Render_Rows_Reference(cube, setup, target, row_length, first_row, last_row);
}

}  // namespace zel_vr
