// Settings read at start-up ("source", "res", "lang"): name=value lines in the
// section "[Software\Pellumaine's\L'Osterlin\1.0]" of a small INI file.
// The file is $OSTERLIN_REGISTRY, else $XDG_CONFIG_HOME/osterlin/registry.ini,
// else ~/.config/osterlin/registry.ini.
#pragma once
#include <cstddef>
#include <string>

// Copies the value `name` into out (out_size bytes with the terminator). False,
// with out empty, when the file, the section or the value is missing, the value is
// empty, or it does not fit.
bool Settings_Read(const char* name, char* out, size_t out_size);
// The settings file in use.
std::string Settings_File_Path();
