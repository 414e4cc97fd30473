// osterlin-tool pack: packs a file with one of the pack methods into a raw stream.
#include <string>
#include <vector>

#include "files/pack_methods.h"
#include "tool.h"

namespace {

const char* const usage = "  osterlin-tool pack --method M [--ref REF] IN OUT";

int run(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string method_text, ref_path;
  if (!Tool_Take_Option(args, "--method", method_text)) return Tool_Usage_Error("pack", "--method is required");
  const bool has_ref = Tool_Take_Option(args, "--ref", ref_path);
  long long method = -1;
  if (!Tool_Parse_Int(method_text, method) || method < 0 || method > 7) {
    return Tool_Usage_Error("pack", "the method must be 0 to 7");
  }
  if (has_ref && method != 6 && method != 7) return Tool_Usage_Error("pack", "--ref goes with methods 6 and 7");
  if (args.size() != 2) return Tool_Usage_Error("pack", "expected IN and OUT");

  std::vector<unsigned char> input, reference;
  if (!Tool_Read_File(args[0], input)) return Tool_Fail("cannot read " + args[0]);
  if (has_ref) {
    if (!Tool_Read_File(ref_path, reference)) return Tool_Fail("cannot read " + ref_path);
    if (reference.size() != input.size()) return Tool_Fail("the reference must be as large as the input");
  }
  std::vector<uint8_t> packed =
      Pack_Encode(static_cast<int>(method), input.data(), input.size(), has_ref ? reference.data() : nullptr);
  if (!Tool_Write_File(args[1], packed.data(), packed.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}

Tool_Registration registration({"pack", usage, "pack a file with pack method 0-7 (raw stream, no header)", run});

}  // namespace
