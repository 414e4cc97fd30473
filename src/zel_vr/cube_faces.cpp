// Cube geometry: face coordinates of directions and back, the texels that lie
// across each face edge, and the filtered sample that uses them.
#include <cmath>
#include <cstdint>

#include "zel_vr/projection.h"
#include "zel_vr/zel_vr.h"

namespace zel_vr {

namespace {

// Unnormalised direction through face coordinates (s, t) in [-1, 1], s to the
// right and t downwards as seen from the centre.
void face_direction(int face, double s, double t, double d[3]) {
  switch (face) {
    case Face_Front: d[0] = s;  d[1] = -t; d[2] = 1;  break;
    case Face_Right: d[0] = 1;  d[1] = -t; d[2] = -s; break;
    case Face_Back:  d[0] = -s; d[1] = -t; d[2] = -1; break;
    case Face_Left:  d[0] = -1; d[1] = -t; d[2] = s;  break;
    case Face_Up:    d[0] = s;  d[1] = 1;  d[2] = t;  break;
    default:         d[0] = s;  d[1] = -1; d[2] = -t; break;  // Face_Down
  }
}

// Face and (s, t) of a non-zero direction; the same choice of face as Locate_Ray.
int direction_face(double dx, double dy, double dz, double* s, double* t) {
  const double ax = std::fabs(dx), ay = std::fabs(dy), az = std::fabs(dz);
  if (az >= ax && az >= ay) {
    *s = dx / dz;
    *t = -dy / az;
    return dz > 0 ? Face_Front : Face_Back;
  }
  if (ax >= ay) {
    *s = -dz / dx;
    *t = -dy / ax;
    return dx > 0 ? Face_Right : Face_Left;
  }
  *s = dx / ay;
  *t = dz / dy;
  return dy > 0 ? Face_Up : Face_Down;
}

// For every face, side (0 left, 1 right, 2 top, 3 bottom) and position along that
// side, the buffer index of the texel just beyond the edge on the neighbour face.
// Built by stepping a hair past the edge and seeing where the direction lands, so
// it follows the face convention whatever the orientation of each neighbour.
struct Edge_Table {
  int32_t index[Face_Count][4][Face_Size];
  Edge_Table() {
    constexpr double beyond = 1.001;
    for (int face = 0; face < Face_Count; ++face) {
      for (int side = 0; side < 4; ++side) {
        for (int k = 0; k < Face_Size; ++k) {
          const double along = (k + 0.5) / 256.0 - 1.0;
          const double across = (side & 1) ? beyond : -beyond;
          double d[3];
          if (side < 2) face_direction(face, across, along, d);
          else face_direction(face, along, across, d);
          double s, t;
          const int other = direction_face(d[0], d[1], d[2], &s, &t);
          int x = static_cast<int>(std::floor((s + 1.0) * 256.0));
          int y = static_cast<int>(std::floor((t + 1.0) * 256.0));
          x = x < 0 ? 0 : (x > 511 ? 511 : x);
          y = y < 0 ? 0 : (y > 511 ? 511 : y);
          index[face][side][k] = Face_Pixel_Index(other, x, y);
        }
      }
    }
  }
};

const Edge_Table& edge_table() {
  static const Edge_Table table;
  return table;
}

inline int clamp_texel(int i) { return i < 0 ? 0 : (i > 511 ? 511 : i); }

// Texel (i, j) of a face, i and j from -1 to 512: beyond one edge it is the
// neighbour's edge texel; beyond a corner, where three faces meet and no texel
// exists, it is the mean of the three corner texels, which keeps the filter
// continuous across the corner from all three faces.
uint32_t texel_spread(const uint16_t* cube, const Edge_Table& edges, int face, int i, int j) {
  const bool i_out = i < 0 || i > 511, j_out = j < 0 || j > 511;
  if (!i_out && !j_out) return Spread(cube[Face_Pixel_Index(face, i, j)]);
  const int i_side = i < 0 ? 0 : 1, j_side = j < 0 ? 2 : 3;
  if (!j_out) return Spread(cube[edges.index[face][i_side][j]]);
  if (!i_out) return Spread(cube[edges.index[face][j_side][i]]);
  const int ci = clamp_texel(i), cj = clamp_texel(j);
  const uint32_t p[3] = {cube[Face_Pixel_Index(face, ci, cj)], cube[edges.index[face][i_side][cj]],
                         cube[edges.index[face][j_side][ci]]};
  uint32_t r = 0, g = 0, b = 0;
  for (uint32_t q : p) {
    r += q >> 11;
    g += (q >> 5) & 63;
    b += q & 31;
  }
  return Spread(((r + 1) / 3) << 11 | ((g + 1) / 3) << 5 | (b + 1) / 3);
}

}  // namespace

uint16_t Sample_Cube(const uint16_t* cube, int face, int u, int v) {
  const int iu = u >> Sub_Bits, iv = v >> Sub_Bits;
  const uint32_t fx = u & 31, fy = v & 31;
  uint32_t t00, t10, t01, t11;
  if ((iu & 255) != 255 && (iv & 255) != 255) {
    // All four texels inside one tile.
    const uint16_t* p = cube + Face_Pixel_Index(face, iu, iv);
    t00 = Spread(p[0]);
    t10 = Spread(p[1]);
    t01 = Spread(p[256]);
    t11 = Spread(p[257]);
  } else {
    const Edge_Table& edges = edge_table();
    t00 = texel_spread(cube, edges, face, iu, iv);
    t10 = texel_spread(cube, edges, face, iu + 1, iv);
    t01 = texel_spread(cube, edges, face, iu, iv + 1);
    t11 = texel_spread(cube, edges, face, iu + 1, iv + 1);
  }
  return Unspread(Lerp_Spread(Lerp_Spread(t00, t10, fx), Lerp_Spread(t01, t11, fx), fy));
}

bool Buffer_Index_Pixel(int index, int* face, int* x, int* y) {
  if (index < 0 || index >= Buffer_Pixels) return false;
  static constexpr int tile_x[4] = {0, 256, 256, 0}, tile_y[4] = {0, 0, 256, 256};
  const int tile = (index >> 16) & 3;
  *face = index / Face_Pixels;
  *x = tile_x[tile] + (index & 255);
  *y = tile_y[tile] + ((index >> 8) & 255);
  return true;
}

int Direction_To_Face(float dx, float dy, float dz, float* x, float* y) {
  if (dx == 0 && dy == 0 && dz == 0) return -1;
  double s, t;
  const int face = direction_face(dx, dy, dz, &s, &t);
  *x = static_cast<float>((s + 1.0) * 256.0);
  *y = static_cast<float>((t + 1.0) * 256.0);
  return face;
}

int Direction_To_Pixel_Index(float dx, float dy, float dz) {
  float x, y;
  const int face = Direction_To_Face(dx, dy, dz, &x, &y);
  if (face < 0) return -1;
  return Face_Pixel_Index(face, clamp_texel(static_cast<int>(std::floor(x))),
                          clamp_texel(static_cast<int>(std::floor(y))));
}

void Face_Point_Direction(int face, float x, float y, float* dx, float* dy, float* dz) {
  double d[3];
  face_direction(face, x / 256.0 - 1.0, y / 256.0 - 1.0, d);
  const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  *dx = static_cast<float>(d[0] / n);
  *dy = static_cast<float>(d[1] / n);
  *dz = static_cast<float>(d[2] / n);
}

void Angles_Direction(int yaw, int pitch, float* dx, float* dy, float* dz) {
  const double unit = 2.0 * M_PI / 8192.0;
  const double theta = (yaw & 8191) * unit, phi = (pitch & 8191) * unit;
  *dx = static_cast<float>(std::cos(phi) * std::sin(theta));
  *dy = static_cast<float>(std::sin(phi));
  *dz = static_cast<float>(std::cos(phi) * std::cos(theta));
}

}  // namespace zel_vr
