// Input: the mouse as a relative device moving a virtual cursor, buttons read as
// clicked / held / up, and a queue of key codes. Key codes are those of the
// engine: characters as they come, 27 Escape, 128-139 F1-F12, 0x4800 / 0x5000 /
// 0x4B00 / 0x4D00 the arrows, 8 for Tab and Delete, 9 for Backspace (Backspace
// and Tab also arrive as their characters 8 and 9).
#pragma once
#include <cstdint>

struct Input_State {
  int32_t mouse_x, mouse_y;
  int32_t mouse_dx, mouse_dy;
  int32_t clip_left, clip_top, clip_right, clip_bottom;  // inclusive
  int32_t left_button;   // 0 up, 1 clicked, 2 held
  int32_t escape;
  int32_t right_button;
  int32_t key;           // code taken by the last update, 0 if none
};

Input_State& Input();        // the one instance
void Input_Reset();          // cursor at 0,0, clip to the screen, buttons up
void Input_Update();         // the per-frame read
int32_t Read_Key();          // pumps, then takes one code from the queue (0 if none)
void Push_Key(uint32_t code);  // a queue holds at most 255 codes; more are dropped
bool Async_Key_Down(int virtual_key);  // is the key with this virtual-key code held now
int32_t Keyboard_Step();     // cursor step of the steering keys, 7 or 1
uint8_t Key_Down(int scan_code);  // 0xFF while the key with this scan code is down
// True once for each release of the key seen since the previous call (a movie or
// the hidden screen ends on a key release).
bool Take_Key_Release(int virtual_key);
void Forget_Key_Releases();  // drops every release not yet taken
void Key_Queue_Clear();
