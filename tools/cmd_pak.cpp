// osterlin-tool pak: creates, extracts and lists PAK files.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/pak.h"
#include "files/text.h"
#include "platform/memory.h"
#include "tool.h"

namespace {

const char* const usage =
    "  osterlin-tool pak create --method M [--name INNER] IN OUT\n"
    "  osterlin-tool pak extract IN OUTDIR\n"
    "  osterlin-tool pak list IN";

int create(std::vector<std::string> args) {
  std::string method_text, name;
  if (!Tool_Take_Option(args, "--method", method_text)) return Tool_Usage_Error("pak", "--method is required");
  const bool has_name = Tool_Take_Option(args, "--name", name);
  long long method = -1;
  if (!Tool_Parse_Int(method_text, method) || method < 0 || method > 5) {
    return Tool_Usage_Error("pak", "a PAK method must be 0 to 5");
  }
  if (args.size() != 2) return Tool_Usage_Error("pak", "expected IN and OUT");
  if (!has_name) {
    std::vector<char> file_name(args[0].size() + 1);
    Path_File_Name(file_name.data(), args[0].c_str());
    name = file_name.data();
  }
  if (name.empty() || name.size() > 15) return Tool_Fail("the inner name must be 1 to 15 characters: '" + name + "'");

  std::vector<unsigned char> input;
  if (!Tool_Read_File(args[0], input)) return Tool_Fail("cannot read " + args[0]);
  if (input.empty()) return Tool_Fail("an empty file cannot be stored in a PAK");
  std::vector<uint8_t> pak = Pak_Build(name.c_str(), static_cast<int>(method), input.data(), input.size());
  if (pak.empty()) return Tool_Fail("input too large for a PAK");
  if (!Tool_Write_File(args[1], pak.data(), pak.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}

int extract(const std::vector<std::string>& args) {
  if (args.size() != 2) return Tool_Usage_Error("pak", "expected IN and OUTDIR");
  std::vector<unsigned char> file;
  if (!Tool_Read_File(args[0], file)) return Tool_Fail("cannot read " + args[0]);
  Pak_Header header;
  const char* reason = "";
  if (!Pak_Parse_Header(file.data(), file.size(), header, &reason)) return Tool_Fail(args[0] + ": " + reason);

  // Unpacked through the engine's own reader, exactly as the game reads it.
  std::vector<char> name_buffer(args[0].size() + 16, 0);
  std::memcpy(name_buffer.data(), args[0].c_str(), args[0].size());
  uint8_t* data = nullptr;
  int size = 0;
  if (Pak_Unpack(name_buffer.data(), &data, &size) == 0) return Tool_Fail(args[0] + ": damaged packed data");

  // The inner name is data from the file: only its file-name part is used, so
  // nothing lands outside OUTDIR.
  char inner[16];
  Path_File_Name(inner, name_buffer.data());
  if (inner[0] == 0 || std::strcmp(inner, ".") == 0 || std::strcmp(inner, "..") == 0) {
    Mem_Free(data);
    return Tool_Fail(args[0] + ": the inner name '" + name_buffer.data() + "' names no file");
  }
  std::error_code error;
  std::filesystem::create_directories(args[1], error);
  const std::string out_path = (std::filesystem::path(args[1]) / inner).string();
  const bool written = Tool_Write_File(out_path, data, static_cast<size_t>(size));
  Mem_Free(data);
  if (!written) return Tool_Fail("cannot write " + out_path);
  std::printf("%s\n", inner);
  return Tool_Ok;
}

int list(const std::vector<std::string>& args) {
  if (args.size() != 1) return Tool_Usage_Error("pak", "expected IN");
  std::vector<unsigned char> file;
  if (!Tool_Read_File(args[0], file)) return Tool_Fail("cannot read " + args[0]);
  Pak_Header header;
  const char* reason = "";
  if (!Pak_Parse_Header(file.data(), file.size(), header, &reason)) return Tool_Fail(args[0] + ": " + reason);
  std::printf("%s %u %u %u\n", header.name, header.method, header.packed_size, header.unpacked_size);
  return Tool_Ok;
}

int run(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return Tool_Usage_Error("pak", "expected create, extract or list");
  std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (arguments[0] == "create") return create(rest);
  if (arguments[0] == "extract") return extract(rest);
  if (arguments[0] == "list") return list(rest);
  return Tool_Usage_Error("pak", "unknown pak command '" + arguments[0] + "'");
}

Tool_Registration registration({"pak", usage, "create, extract or list PAK files (one packed inner file)", run});

}  // namespace
