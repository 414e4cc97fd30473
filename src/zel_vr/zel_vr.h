// zel_vr: the cube-panorama renderer.
//
// The panorama is a cube seen from its centre, held in one buffer of 256 x 6144
// pixels of 5-6-5 (1572864 pixels): six faces of 512 x 512, face f starting at
// pixel f * 262144, each face stored as four 256 x 256 tiles one after another in
// the order top-left, top-right, bottom-right, bottom-left, each tile row by row
// (256 pixels a row).
//
// Directions: x points right, y up and z forward when the view looks at yaw 0 and
// pitch 0. Faces:
//
//   face 4  front   yaw 0     (+z)      face 0  up    (+y)
//   face 3  right   yaw 2048  (+x)      face 2  down  (-y)
//   face 5  back    yaw 4096  (-z)
//   face 1  left    yaw 6144  (-x)
//
// Turning right (yaw growing) the side faces come in the order 4, 3, 5, 1.
// Every face is stored as seen from the centre: its top row first, each row left
// to right. The four side faces stand upright. The up face is the picture seen
// when looking up from yaw 0: its bottom row meets the top row of face 4 and its
// top row the top row of face 5. The down face is the picture seen when looking
// down from yaw 0: its top row meets the bottom row of face 4.
//
// Draw angles, in radians:
//   horizontal = yaw * 2 pi / 8192 - pi / 2: -pi/2 looks at face 4, growing turns right;
//   vertical   = pitch * 2 pi / 8192 + pi / 2: pi/2 is the horizon, growing looks up
//                (pi looks straight up, 0 straight down);
//   roll       = turn of the view about its direction, positive tilts the camera
//                clockwise (the picture turns counter-clockwise); 0 keeps the
//                horizon level;
//   fov        = horizontal field of view of the destination rectangle (0 or less,
//                or not a number, means pi/2; it is kept between 0.001 and 3.1).
// Texels are filtered bilinearly, across face edges and corners too, so a picture
// that is continuous on the cube draws without seams.
#pragma once

class ZEL_VR {
 public:
  ZEL_VR();
  // Destination rectangle (x, y, width, height, rounded to whole pixels), the row
  // length of every destination given to Draw in pixels, and the pixel aspect
  // (height of a pixel over its width, 1.0 for square pixels). Returns 0, or -1
  // and keeps the previous settings when the values make no rectangle inside a row.
  // Until it is called the rectangle is (0, 0, 640, 480) with rows of 640 pixels.
  int Init_Resolution(float x, float y, float width, float height, int row_length, float pixel_aspect);
  // The panorama buffer (1572864 writable pixels, zero at first), valid until the
  // destructor. The next Draw shows whatever it holds.
  unsigned short* Buffer();
  // Fills the whole destination rectangle with the view for the given angles.
  void Draw(unsigned short* target, float horizontal, float vertical, float roll, float fov);
  ~ZEL_VR();

  ZEL_VR(const ZEL_VR&) = delete;
  ZEL_VR& operator=(const ZEL_VR&) = delete;

 private:
  struct State;
  State* state_;
};

// Helpers for programs that paint panoramas (demo generators, tests, cards).
namespace zel_vr {

constexpr int Face_Size = 512;
constexpr int Face_Pixels = Face_Size * Face_Size;  // 262144
constexpr int Face_Count = 6;
constexpr int Buffer_Pixels = Face_Pixels * Face_Count;  // 1572864 = 256 x 6144
// A face is four tiles of Tile_Size x Tile_Size pixels: the Tile_Size pixels of a
// tile row (x a multiple of Tile_Size) lie one after another from
// Face_Pixel_Index(face, x, y) on.
constexpr int Tile_Size = 256;

enum Face : int {
  Face_Up = 0,
  Face_Left = 1,   // yaw 6144
  Face_Down = 2,
  Face_Right = 3,  // yaw 2048
  Face_Front = 4,  // yaw 0
  Face_Back = 5,   // yaw 4096
};

// Index in the buffer of pixel (x, y) of a face, x to the right and y downwards as
// seen from the centre, both 0 to 511; -1 when out of range.
inline int Face_Pixel_Index(int face, int x, int y) {
  if (face < 0 || face >= Face_Count || x < 0 || x >= Face_Size || y < 0 || y >= Face_Size) return -1;
  static constexpr int tile_of[2][2] = {{0, 1}, {3, 2}};  // [bottom half][right half]
  return face * Face_Pixels + tile_of[y >> 8][x >> 8] * 65536 + (y & 255) * 256 + (x & 255);
}

// The inverse: face and pixel of a buffer index; false when out of range.
bool Buffer_Index_Pixel(int index, int* face, int* x, int* y);

// Face hit by a direction and the point hit in face pixel units (0 to 512, pixel
// i covers [i, i + 1)); -1 for the zero vector. Directions on an edge go to the
// face whose axis comes first in the order z, x, y.
int Direction_To_Face(float dx, float dy, float dz, float* x, float* y);

// Buffer index of the pixel a direction hits; -1 for the zero vector.
int Direction_To_Pixel_Index(float dx, float dy, float dz);

// Unit direction through the point (x, y) of a face in face pixel units (the
// centre of pixel (i, j) is (i + 0.5, j + 0.5)).
void Face_Point_Direction(int face, float x, float y, float* dx, float* dy, float* dz);

// Unit direction of the view centre for engine angles (1/8192 of a turn; yaw
// grows to the right, pitch upwards).
void Angles_Direction(int yaw, int pitch, float* dx, float* dy, float* dz);

}  // namespace zel_vr
