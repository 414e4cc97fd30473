// Full-screen movies and the node video.
//
// A movie is decoded into a frame of its own and presented from there, so the
// frame buffer (and what the scene had drawn into it) is left as it was. Every
// turn of the movie's loop presents exactly one frame: the new one when it is
// due, else the current one again. Presenting is what advances the clock (and
// the mixer when it is pulled by frames), so waiting this way works the same
// with a sound device, without one, and when a recorded run is replayed.
#include "video/movie.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "pictures/picture.h"
#include "platform/display.h"
#include "platform/input.h"
#include "smack/smack.h"
#include "sound/sound.h"
#include "video/engine_targets.h"

namespace {

constexpr int Key_Movie_End = 222;  // the apostrophe key
constexpr uint32_t Open_Flags = 0xFE000;
constexpr uint32_t Open_Buffers = 0xFFFFFFFF;

struct Movie_State {
  Smack* node_video = nullptr;
  Picture* node_video_picture = nullptr;  // the node picture it draws into
};
Movie_State state;

bool usable_node_picture(const Picture* picture) {
  return picture != nullptr && picture->width == Screen_Width && picture->height == Screen_Height &&
         picture->bits_per_pixel == 16 && picture->pack_method == 0 && picture->pixels != nullptr &&
         picture->data_size >= static_cast<uint32_t>(Screen_Width * Screen_Height * 2);
}

// Shows the current frame of the node video in the picture; true when it was
// the last one (the movie is then not advanced).
bool show_node_frame(Picture* picture) {
  SmackToBuffer(state.node_video, 0, 0, Screen_Width * 2, Screen_Height, picture->pixels, Smack_Format_565);
  SmackDoFrame(state.node_video);
  if (state.node_video->FrameNum + 1 >= state.node_video->Frames) return true;
  SmackNextFrame(state.node_video);
  return false;
}

// Without a device the wait costs nothing; with one, a short sleep keeps a
// display without vertical sync from spinning.
void pause_briefly() {
  if (!Display_Headless()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

int Movie_Play(const char* file) {
  SmackSoundUseDirectSound(Sound_Status() == 0);
  Smack* movie = SmackOpen(file, Open_Flags, Open_Buffers);
  if (movie == nullptr) return 0;
  // Only releases of the key that happen during the movie end it.
  Forget_Key_Releases();
  // The movie is drawn over the last screen shown, which stays around a movie
  // smaller than the screen (black only when nothing was shown yet).
  std::vector<uint16_t> frame(static_cast<size_t>(Screen_Width) * Screen_Height, 0);
  if (const uint16_t* shown = Display_Last_Frame()) std::copy(shown, shown + frame.size(), frame.begin());
  // Decoded as 5-6-5 whatever the display: presenting converts to its format.
  while (true) {
    // Messages first, so that a release ends the movie before another frame.
    Pump_Messages();
    if (Quit_Requested() || Take_Key_Release(Key_Movie_End)) break;
    // The first frame is always due, so a waiting turn re-presents a real frame.
    if (SmackWait(movie) != 0) {
      Present_Frame(frame.data());
      pause_briefly();
      continue;
    }
    SmackToBuffer(movie, 0, 0, Screen_Width * 2, Screen_Height, frame.data(), Smack_Format_565);
    SmackDoFrame(movie);
    bool last = movie->FrameNum + 1 >= movie->Frames;
    Present_Frame(frame.data());
    if (last) break;
    SmackNextFrame(movie);
  }
  SmackClose(movie);
  return 1;
}

int Node_Video_Open(const char* file, Picture* picture) {
  Node_Video_Close();
  if (!usable_node_picture(picture)) return 0;
  SmackSoundUseDirectSound(Sound_Status() == 0);
  state.node_video = SmackOpen(file, Open_Flags, Open_Buffers);
  if (state.node_video == nullptr) return 0;
  state.node_video_picture = picture;
  if (show_node_frame(picture)) Node_Video_Close();
  return 1;
}

void Node_Video_Close() {
  SmackClose(state.node_video);
  state.node_video = nullptr;
  state.node_video_picture = nullptr;
}

void Node_Video_Step() {
  if (state.node_video == nullptr) return;
  // The node picture was replaced behind the video's back: nothing to draw into.
  if (Node_Picture() != state.node_video_picture || !usable_node_picture(state.node_video_picture)) {
    Node_Video_Close();
    return;
  }
  if (SmackWait(state.node_video) != 0) return;
  if (show_node_frame(state.node_video_picture)) Node_Video_Close();
}

bool Node_Video_Open_Now() { return state.node_video != nullptr; }
