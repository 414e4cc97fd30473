// The real output: an SDL audio device whose callback pulls the mixer. Only this
// file of the sound subsystem talks to SDL.
#pragma once

class Mixer;

// Opens the default device at the mixer's rate, 16-bit stereo, and starts it.
bool Audio_Device_Open(Mixer* mixer);
// Stops the callback (it has returned when this returns) and closes the device.
void Audio_Device_Close();
