// Running osterlin-tool from tests, and small writers of the inputs people give
// it (8-bit RGB PNG pictures).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_files.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

using Tool_Result = Program_Run;

// Runs "osterlin-tool ARGUMENTS" (a shell-quoted text) with no settings file
// unless ENVIRONMENT ("OSTERLIN_REGISTRY=path") names one.
inline Tool_Result Run_Tool(const Temp_Dir& dir, const std::string& arguments, const std::string& environment = "") {
  return Run_Program("osterlin-tool", arguments, "",
                     {environment.empty() ? "OSTERLIN_REGISTRY=" + dir.file("no-settings.ini") : environment});
}

inline std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Writes an 8-bit RGB PNG (rows of R, G, B) with the tools' PNG writer.
inline void Write_Png_Rgb(const std::string& path, std::vector<uint8_t> rgb, int width, int height) {
  const Png_Picture picture{width, height, Png_Form::Rgb, std::move(rgb), {}};
  std::string error;
  if (!Png_Write(path, picture, &error)) ADD_FAILURE() << "cannot write " << path << ": " << error;
}
