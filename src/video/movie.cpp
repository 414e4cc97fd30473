// Movies need the video decoding layer; without it no movie file can be opened.
#include "video/movie.h"

int Movie_Play(const char* /*file*/) { return 0; }
int Node_Video_Open(const char* /*file*/, Picture* /*picture*/) { return 0; }
void Node_Video_Close() {}
void Node_Video_Step() {}
