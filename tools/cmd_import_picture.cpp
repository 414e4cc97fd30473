// import panorama and import picture: PNG or JPEG into the node picture forms
// the engine loads (a ROZ chunk file with one panorama or flat picture chunk, or
// a Targa picture).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "cmd_import.h"
#include "image_read.h"
#include "picture_file_writers.h"
#include "roz_chunk_writer.h"
#include "tool.h"
#include "zel_vr/zel_vr.h"

namespace {

constexpr int Flat_Width = 640;
constexpr int Flat_Height = 480;
constexpr int Default_Quality = 90;

// A picture of float R, G, B, for filtering without rounding at every step.
struct Float_Image {
  int width = 0;
  int height = 0;
  std::vector<float> rgb;
  float* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const float* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

Float_Image to_float(const Rgb_Image& image) {
  Float_Image out{image.width, image.height, std::vector<float>(image.rgb.begin(), image.rgb.end())};
  return out;
}

// The 8-bit picture seen as the filter reads it, so that a large picture is
// reduced straight from its bytes without a float copy at full size.
struct Byte_View {
  const Rgb_Image& image;
  int width;
  int height;
  const uint8_t* at(int x, int y) const { return &image.rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

uint8_t to_byte(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 255.0f) return 255;
  return static_cast<uint8_t>(v + 0.5f);
}

// Resamples one axis to `size` samples with a triangle kernel that widens with
// the reduction factor, so that shrinking averages every source pixel it covers
// (no aliasing) and enlarging interpolates linearly. `wrap` joins the two ends
// (the horizontal axis of an equirectangular picture); otherwise edges repeat.
template <typename Image>
Float_Image resample_axis(const Image& in, int size, bool horizontal, bool wrap) {
  const int source = horizontal ? in.width : in.height;
  const double scale = static_cast<double>(source) / size;
  const double support = scale > 1.0 ? scale : 1.0;
  Float_Image out{horizontal ? size : in.width, horizontal ? in.height : size, {}};
  out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0.0f);
  // The taps of each output sample, shared by every row (or column).
  struct Tap {
    int index;
    float weight;
  };
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(size));
  for (int i = 0; i < size; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    const int first = static_cast<int>(std::floor(centre - support)) + 1;
    const int last = static_cast<int>(std::ceil(centre + support)) - 1;
    double total = 0.0;
    for (int s = first; s <= last; ++s) {
      const double w = 1.0 - std::fabs(s - centre) / support;
      if (w <= 0.0) continue;
      int index = s;
      if (wrap) index = ((s % source) + source) % source;
      else index = s < 0 ? 0 : (s >= source ? source - 1 : s);
      taps[static_cast<size_t>(i)].push_back({index, static_cast<float>(w)});
      total += w;
    }
    for (Tap& t : taps[static_cast<size_t>(i)]) t.weight = static_cast<float>(t.weight / total);
  }
  const int lines = horizontal ? in.height : in.width;
  for (int line = 0; line < lines; ++line) {
    for (int i = 0; i < size; ++i) {
      float r = 0, g = 0, b = 0;
      for (const Tap& t : taps[static_cast<size_t>(i)]) {
        const auto* p = horizontal ? in.at(t.index, line) : in.at(line, t.index);
        r += p[0] * t.weight;
        g += p[1] * t.weight;
        b += p[2] * t.weight;
      }
      float* q = horizontal ? out.at(i, line) : out.at(line, i);
      q[0] = r;
      q[1] = g;
      q[2] = b;
    }
  }
  return out;
}

Float_Image resample(const Rgb_Image& in, int width, int height, bool wrap_horizontal) {
  Float_Image wide = in.width == width ? to_float(in)
                                       : resample_axis(Byte_View{in, in.width, in.height}, width, true, wrap_horizontal);
  return wide.height == height ? wide : resample_axis(wide, height, false, false);
}

// ---- Panorama ---------------------------------------------------------------
//
// Equirectangular convention (the same as export's NAME.equirect.png): column x
// of a picture W wide is centred on yaw (x + 0.5) / W of a turn minus half a turn,
// so yaw 0 (the view the engine shows first) lies at the centre; row y of H rows
// is centred on pitch a half turn times (0.5 - (y + 0.5) / H), the top row looking
// up. Yaw grows to the right, as the engine's.

constexpr double Pi = 3.14159265358979323846;

// Above this width the source is first reduced: 4096 columns already sample the
// sphere more finely than the densest part of the cube (face edges and corners).
constexpr int Equirect_Work_Width = 4096;
// Samples per face pixel along each axis.
constexpr int Supersample = 3;

// Rows near the poles are stretched horizontally: a pixel there covers far less
// of the sphere than at the equator. Each row is blurred horizontally by a box
// as wide as that stretch (1 / cos(latitude) pixels), with the two ends joined,
// so that every source pixel stands for about the same patch of the sphere and a
// face pixel's samples never skip detail near the poles.
void equalise_rows(Float_Image& image) {
  const int w = image.width;
  std::vector<double> prefix(static_cast<size_t>(w) * 2 * 3 + 3);
  std::vector<float> row(static_cast<size_t>(w) * 3);
  for (int y = 0; y < image.height; ++y) {
    const double latitude = Pi * (0.5 - (y + 0.5) / image.height);
    double width = 1.0 / std::max(std::cos(latitude), 1e-6);
    if (width <= 1.0001) continue;
    if (width > w) width = w;
    // Prefix sums over the row laid twice end to end.
    for (int c = 0; c < 3; ++c) prefix[static_cast<size_t>(c)] = 0.0;
    for (int i = 0; i < 2 * w; ++i) {
      const float* p = image.at(i % w, y);
      for (int c = 0; c < 3; ++c) prefix[static_cast<size_t>(i + 1) * 3 + c] = prefix[static_cast<size_t>(i) * 3 + c] + p[c];
    }
    // Sum of the doubled row from 0 to a (0 <= a <= 2w), fractional ends included.
    auto integral = [&](double a, int c) {
      const int i = static_cast<int>(std::floor(a));
      const double f = a - i;
      const double base = prefix[static_cast<size_t>(i) * 3 + c];
      if (i >= 2 * w) return base;
      return base + f * (prefix[static_cast<size_t>(i + 1) * 3 + c] - base);
    };
    for (int x = 0; x < w; ++x) {
      // The box centred on pixel x, moved by a whole turn to start inside the
      // first copy of the row, so that it ends before the second copy does.
      double a = x + 0.5 - width / 2;
      if (a < 0) a += w;
      for (int c = 0; c < 3; ++c) {
        const double sum = integral(a + width, c) - integral(a, c);
        row[static_cast<size_t>(x) * 3 + c] = static_cast<float>(sum / width);
      }
    }
    std::copy(row.begin(), row.end(), image.at(0, y));
  }
}

// Bilinear sample at continuous pixel coordinates (pixel i centred on i + 0.5),
// wrapping horizontally and clamping vertically.
void sample_equirect(const Float_Image& image, double u, double v, float out[3]) {
  const double x = u - 0.5, y = v - 0.5;
  const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
  const float fx = static_cast<float>(x - x0), fy = static_cast<float>(y - y0);
  const int w = image.width, h = image.height;
  const int xa = ((x0 % w) + w) % w, xb = (xa + 1) % w;
  const int ya = y0 < 0 ? 0 : (y0 >= h ? h - 1 : y0);
  const int yb = y0 + 1 < 0 ? 0 : (y0 + 1 >= h ? h - 1 : y0 + 1);
  const float* p00 = image.at(xa, ya);
  const float* p10 = image.at(xb, ya);
  const float* p01 = image.at(xa, yb);
  const float* p11 = image.at(xb, yb);
  for (int c = 0; c < 3; ++c) {
    const float top = p00[c] + (p10[c] - p00[c]) * fx;
    const float bottom = p01[c] + (p11[c] - p01[c]) * fx;
    out[c] = top + (bottom - top) * fy;
  }
}

// The panorama buffer as B, G, R bytes, in the buffer's own order (256 pixels a
// row, 6144 rows), which is what the ROZ panorama chunk holds.
using Cube_Bgr = std::vector<uint8_t>;

Cube_Bgr cube_from_equirect(const Rgb_Image& source) {
  Float_Image image = source.width > Equirect_Work_Width
                          ? resample(source, Equirect_Work_Width, Equirect_Work_Width / 2, true)
                          : to_float(source);
  equalise_rows(image);
  Cube_Bgr cube(static_cast<size_t>(zel_vr::Buffer_Pixels) * 3);
  const double w = image.width, h = image.height;
  Import_Progress progress("panorama");
  for (int face = 0; face < zel_vr::Face_Count; ++face) {
    for (int y = 0; y < zel_vr::Face_Size; ++y) {
      for (int x = 0; x < zel_vr::Face_Size; ++x) {
        float sum[3] = {0, 0, 0};
        for (int sy = 0; sy < Supersample; ++sy) {
          for (int sx = 0; sx < Supersample; ++sx) {
            float dx, dy, dz;
            zel_vr::Face_Point_Direction(face, x + (sx + 0.5f) / Supersample, y + (sy + 0.5f) / Supersample, &dx,
                                         &dy, &dz);
            const double yaw = std::atan2(static_cast<double>(dx), static_cast<double>(dz));
            const double pitch = std::atan2(static_cast<double>(dy), std::hypot(dx, dz));
            float p[3];
            sample_equirect(image, (yaw / (2 * Pi) + 0.5) * w, (0.5 - pitch / Pi) * h, p);
            for (int c = 0; c < 3; ++c) sum[c] += p[c];
          }
        }
        const size_t index = static_cast<size_t>(zel_vr::Face_Pixel_Index(face, x, y)) * 3;
        constexpr float n = Supersample * Supersample;
        cube[index] = to_byte(sum[2] / n);
        cube[index + 1] = to_byte(sum[1] / n);
        cube[index + 2] = to_byte(sum[0] / n);
      }
      progress.update((face * zel_vr::Face_Size + y + 1.0) / (zel_vr::Face_Count * zel_vr::Face_Size));
    }
  }
  progress.finish();
  return cube;
}

// Six 512 x 512 faces side by side, in the renderer's face order.
Cube_Bgr cube_from_faces(const Rgb_Image& strip) {
  Cube_Bgr cube(static_cast<size_t>(zel_vr::Buffer_Pixels) * 3);
  for (int face = 0; face < zel_vr::Face_Count; ++face) {
    for (int y = 0; y < zel_vr::Face_Size; ++y) {
      for (int x = 0; x < zel_vr::Face_Size; ++x) {
        const uint8_t* p = &strip.rgb[(static_cast<size_t>(y) * strip.width + face * zel_vr::Face_Size + x) * 3];
        uint8_t* q = &cube[static_cast<size_t>(zel_vr::Face_Pixel_Index(face, x, y)) * 3];
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
      }
    }
  }
  return cube;
}

// --quality Q (1 to 100); false with the reason when it is not one.
bool take_quality(std::vector<std::string>& args, int* quality, std::string* error) {
  std::string text;
  *quality = Default_Quality;
  if (!Tool_Take_Option(args, "--quality", text)) return true;
  long long value = 0;
  if (!Tool_Parse_Int(text, value) || value < 1 || value > 100) {
    *error = "quality must be a whole number from 1 to 100, not '" + text + "'";
    return false;
  }
  *quality = static_cast<int>(value);
  return true;
}

bool is_option(const std::string& arg) { return arg.size() > 2 && arg.compare(0, 2, "--") == 0; }

int write_output(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (!Tool_Write_File(path, bytes.data(), bytes.size())) return Tool_Fail("cannot write " + path);
  return Tool_Ok;
}

std::string size_text(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

int Import_Panorama(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  int quality = 0;
  std::string error;
  if (!take_quality(args, &quality, &error)) return Tool_Fail(error);
  const bool faces = Tool_Take_Flag(args, "--faces");
  if (args.size() != 2 || is_option(args[0]) || is_option(args[1])) {
    return Tool_Usage_Error("import", "import panorama takes IN and OUT.ROZ");
  }
  if (!Import_Has_Extension(args[1], ".roz")) return Tool_Fail("the panorama goes into a .ROZ file, not " + args[1]);
  Rgb_Image image;
  if (!Image_Read(args[0], image, &error)) return Tool_Fail(error);
  Cube_Bgr cube;
  if (faces) {
    if (image.width != zel_vr::Face_Size * zel_vr::Face_Count || image.height != zel_vr::Face_Size) {
      return Tool_Fail(args[0] + " is " + size_text(image.width, image.height) +
                       ": a faces strip is six 512x512 faces side by side (3072x512)");
    }
    cube = cube_from_faces(image);
  } else {
    if (image.width != 2 * image.height || image.width < 8) {
      return Tool_Fail(args[0] + " is " + size_text(image.width, image.height) +
                       ": an equirectangular panorama is twice as wide as it is high");
    }
    cube = cube_from_equirect(image);
  }
  return write_output(args[1], roz_chunk::picture_file(roz_chunk::Panorama, cube, quality));
}

int Import_Picture(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  int quality = 0;
  std::string error;
  if (!take_quality(args, &quality, &error)) return Tool_Fail(error);
  const bool fit = Tool_Take_Flag(args, "--fit");
  if (args.size() != 2 || is_option(args[0]) || is_option(args[1])) {
    return Tool_Usage_Error("import", "import picture takes IN and OUT (.ROZ or .TGA)");
  }
  const bool roz = Import_Has_Extension(args[1], ".roz");
  if (!roz && !Import_Has_Extension(args[1], ".tga")) {
    return Tool_Fail("the picture goes into a .ROZ or a .TGA file, not " + args[1]);
  }
  Rgb_Image image;
  if (!Image_Read(args[0], image, &error)) return Tool_Fail(error);
  if (image.width != Flat_Width || image.height != Flat_Height) {
    if (!fit) {
      return Tool_Fail(args[0] + " is " + size_text(image.width, image.height) +
                       ", not 640x480 (--fit scales it to fit)");
    }
    // Scaled to fit whole inside 640 x 480, aspect kept, centred on black.
    const double scale = std::min(static_cast<double>(Flat_Width) / image.width,
                                  static_cast<double>(Flat_Height) / image.height);
    const int w = std::max(1, std::min(Flat_Width, static_cast<int>(std::lround(image.width * scale))));
    const int h = std::max(1, std::min(Flat_Height, static_cast<int>(std::lround(image.height * scale))));
    Float_Image scaled = resample(image, w, h, false);
    Rgb_Image framed{Flat_Width, Flat_Height, std::vector<uint8_t>(Flat_Width * Flat_Height * 3, 0)};
    const int left = (Flat_Width - w) / 2, top = (Flat_Height - h) / 2;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const float* p = scaled.at(x, y);
        uint8_t* q = &framed.rgb[(static_cast<size_t>(top + y) * Flat_Width + left + x) * 3];
        for (int c = 0; c < 3; ++c) q[c] = to_byte(p[c]);
      }
    }
    image = std::move(framed);
  }
  if (!roz) {
    Picture_Image tga{Flat_Width, Flat_Height, 24, {}, image.rgb};
    return write_output(args[1], Write_Tga(tga));
  }
  std::vector<uint8_t> bgr(image.rgb.size());
  for (size_t i = 0; i < bgr.size(); i += 3) {
    bgr[i] = image.rgb[i + 2];
    bgr[i + 1] = image.rgb[i + 1];
    bgr[i + 2] = image.rgb[i];
  }
  return write_output(args[1], roz_chunk::picture_file(roz_chunk::Flat, bgr, quality));
}
