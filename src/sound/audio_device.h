// The real output: an SDL audio device whose callback pulls the mixer. Only this
// file of the sound subsystem talks to SDL.
#pragma once

class Mixer;

// Opens the default device at the mixer's rate, 16-bit stereo, and starts it.
bool Audio_Device_Open(Mixer* mixer);
// Pauses the device (silence, the mixer is not pulled) or resumes it. The device
// also pauses by itself while the game is paused in the background.
void Audio_Device_Pause(bool pause);
// Stops the callback (it has returned when this returns) and closes the device.
// Every way out of the program does this before it releases anything.
void Audio_Device_Close();
