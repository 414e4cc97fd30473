// The hidden screen, opened from the disc prompt while L and O are held.
#pragma once

void Hidden_Screen_Run();
