// osterlin-tool unpack: decodes a raw pack-method stream to an exact size.
#include <string>
#include <vector>

#include "files/pack_methods.h"
#include "tool.h"

namespace {

const char* const usage = "  osterlin-tool unpack --method M --size N [--ref REF] IN OUT";

int run(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::string method_text, size_text, ref_path;
  if (!Tool_Take_Option(args, "--method", method_text)) return Tool_Usage_Error("unpack", "--method is required");
  if (!Tool_Take_Option(args, "--size", size_text)) return Tool_Usage_Error("unpack", "--size is required");
  const bool has_ref = Tool_Take_Option(args, "--ref", ref_path);
  long long method = -1, size = -1;
  if (!Tool_Parse_Int(method_text, method) || method < 0 || method > 7) {
    return Tool_Usage_Error("unpack", "the method must be 0 to 7");
  }
  if (!Tool_Parse_Int(size_text, size) || size < 0 || size > 0x7FFFFFFFLL) {
    return Tool_Usage_Error("unpack", "the size must be 0 to 2147483647");
  }
  if (has_ref && method != 6 && method != 7) return Tool_Usage_Error("unpack", "--ref goes with methods 6 and 7");
  if (args.size() != 2) return Tool_Usage_Error("unpack", "expected IN and OUT");

  std::vector<unsigned char> input;
  if (!Tool_Read_File(args[0], input)) return Tool_Fail("cannot read " + args[0]);
  // Methods 6 and 7 decode on top of the reference; everything else on zeros.
  std::vector<unsigned char> output;
  if (has_ref) {
    if (!Tool_Read_File(ref_path, output)) return Tool_Fail("cannot read " + ref_path);
    if (output.size() != static_cast<size_t>(size)) return Tool_Fail("the reference must be --size bytes");
  } else {
    output.assign(static_cast<size_t>(size), 0);
  }
  if (Pack_Decode(static_cast<int>(method), input.data(), input.size(), output.data(), output.size()) != 0) {
    return Tool_Fail("damaged stream: it ends early or reaches outside the output");
  }
  if (!Tool_Write_File(args[1], output.data(), output.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}

Tool_Registration registration({"unpack", usage, "decode a raw pack-method stream to exactly N bytes", run});

}  // namespace
