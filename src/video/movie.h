// Full-screen movies and the node video (a movie shown as an animated node picture).
#pragma once

struct Picture;

// Plays a movie full screen (presented frame by frame; the frame buffer is left
// as it was); 0 when the file cannot be opened, else 1 after the
// movie ended or was interrupted (release of the key with virtual code 222, window close).
int Movie_Play(const char* file);
// Opens a movie as the node picture and shows its first frame in `picture`
// (640 x 480, 16 bits); 0 when the file cannot be opened, else 1.
int Node_Video_Open(const char* file, Picture* picture);
void Node_Video_Close();
// The node-video step of Animation_Step: shows the next frame when it is due.
// After the last frame the video closes and the picture keeps that frame.
void Node_Video_Step();
// Whether a node video is open.
bool Node_Video_Open_Now();
