// The per-frame animation step: block animations at their speed, the wave effect,
// the node video and the error screen.
#pragma once

// Once per engine frame, after the view is drawn and before presenting.
void Animation_Step();
// The block-animation step; forced shows a frame of every active animation now.
void Anim_Advance(bool forced);

// The wave effect: on until the next node picture loads.
void Waves_Start();
void Waves_Stop();
bool Waves_Active();
float Waves_Phase();  // advances by 20 per second of waves, never reset

// The error screen: while raised, every frame's upper 240 rows are filled with the
// byte 0x1F. Raising it also fills the screen area at once.
void Error_Screen_Raise();
void Error_Screen_Clear();
bool Error_Screen_Raised();

// Waves off with their phase back at 0, error screen cleared.
void Animation_Step_Reset();
