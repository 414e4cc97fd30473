// Zone_File_Load on arbitrary bytes, registered as a memory file; every zone it
// gives is snapped and hit-tested as a panorama zone and as a flat one, with view
// angles and a mouse position taken from the first bytes of the input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "files/file.h"
#include "scene/view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const char* name = "fuzz.zon";
  Mem_File_Add(name, data, static_cast<int>(size));
  std::vector<Zone> zones = Zone_File_Load(name);
  Mem_File_Remove(name);

  int32_t probe[4] = {0, 0, 0, 0};
  if (size > 0) std::memcpy(probe, data, size < sizeof probe ? size : sizeof probe);
  for (Zone zone : zones) {
    Zone_Contains_Point(zone, probe[2], probe[3]);
    Zone_Snap(zone);
    Zone_Contains_View(zone, probe[0], probe[1]);
    Zone_Contains_View(zone, static_cast<int32_t>(static_cast<uint32_t>(probe[0]) + 4096u), -(probe[1] / 2));
  }
  return 0;
}
