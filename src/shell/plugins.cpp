// The plug-in table and its fourteen handlers.
#include "shell/plugins.h"

#include <cstdlib>
#include <cstring>

#include "files/text.h"
#include "scene/runtime.h"
#include "shell/levels.h"
#include "shell/mpeg.h"
#include "shell/saved_games.h"
#include "video/movie.h"

namespace {

constexpr int Line_Buffer_Size = 128;

// No MPEG capability is ever reported (the mode itself belongs to MPEG playback).
constexpr bool mpeg_available = false;

using Handler = void (*)(int count, char** args);

bool is_token_char(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
         c == '"' || c == '\'' || c == ':' || c == '/' || c == '\\';
}

// Decimal integer after optional white space, with an optional sign; anything
// else reads as 0.
int32_t number(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint32_t value = 0;
  while (*text >= '0' && *text <= '9') value = value * 10u + static_cast<uint32_t>(*text++ - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

// Argument i, or an empty text when the line has fewer (an empty name matches no
// boolean, an empty number reads as 0).
const char* arg(int count, char** args, int i) { return i < count ? args[i] : ""; }

int slot_count() { return static_cast<int>(Save_Slots().size()); }

void set_bool(const char* name, bool value) { Bool_Set(name, value ? 1 : 0); }

void load_save(int count, char** args) {
  if (count <= 1) {
    Slots_Rebuild();
    return;
  }
  int32_t n = number(args[0]);
  if (n >= 1) {
    // The state of slot n, or how this level was entered.
    if (count < 3) return;
    bool x;
    if (n <= slot_count()) {
      x = Slot_Has_Game(n);
    } else if (n == 99) {
      x = !Level_Entry().not_advanced;
    } else {
      x = !Level_Entry().not_restarted;
    }
    set_bool(args[1], x);
    set_bool(args[2], !x);
    return;
  }
  int32_t disc = number(args[1]);
  if (disc >= 1) {
    set_bool(args[0], Current_Disc() == static_cast<uint32_t>(disc));
    return;
  }
  // A flag handed on from b1 to b2; a cleared flag builds the slot list.
  int32_t v = Bool_Get(args[0]);
  Bool_Set(args[0], 0);
  Bool_Set(args[1], v);
  if (v == 0) Slots_Rebuild();
}

void load(int count, char** args) {
  bool applied = Pending_Game() != nullptr && Pending_Apply() == 0;
  set_bool(arg(count, args, 0), applied);
}

void save(int count, char** args) {
  int32_t n = number(arg(count, args, 0));
  // A slot that is not in the list (the list was not built): nothing happens.
  if (n > slot_count()) return;
  if (n >= 1) Slot_Save(n);
  Slots_Destroy_All();
}

void pre_load(int count, char** args) {
  int32_t n = number(arg(count, args, 0));
  if (n > slot_count()) return;
  if (n >= 1) {
    Slot_Choose(n);
  } else {
    load(count, args);
  }
  Slots_Destroy_All();
}

void end(int, char**) { Set_End_Requested(true); }
void restart(int, char**) { Set_Restart_Requested(true); }
void can_play_mpeg(int count, char** args) { set_bool(arg(count, args, 0), mpeg_available); }
void get_mpeg(int count, char** args) { set_bool(arg(count, args, 0), Mpeg_Mode()); }
void set_mpeg(int count, char** args) { Set_Mpeg_Mode(number(arg(count, args, 0)) != 0); }
void play_mpeg(int count, char** args) { Mpeg_Play(arg(count, args, 0)); }

void play_lang_mpeg(int count, char** args) { Mpeg_Play(Lang_Variant(arg(count, args, 0))); }

void play_auto(const char* file) {
  if (Mpeg_Mode()) {
    Mpeg_Play(Mpeg_Variant(file));
  } else {
    Movie_Play(file);
  }
}
void play_auto_video(int count, char** args) { play_auto(arg(count, args, 0)); }
void play_lang_auto_video(int count, char** args) { play_auto(Lang_Variant(arg(count, args, 0))); }

void get_lang(int count, char** args) {
  set_bool(arg(count, args, 0), Str_Compare_No_Case(Language_Code(), arg(count, args, 1)) == 0);
}

struct Plugin {
  const char* name;
  Handler handler;
};

const Plugin plugin_table[14] = {
    {"LoadSave", load_save},
    {"Load", load},
    {"Save", save},
    {"PreLoad", pre_load},
    {"End", end},
    {"Restart", restart},
    {"CanPlayMPEG", can_play_mpeg},
    {"GetMPEG", get_mpeg},
    {"SetMPEG", set_mpeg},
    {"PlayMPEG", play_mpeg},
    {"PlayLangMPEG", play_lang_mpeg},
    {"PlayAutoVideo", play_auto_video},
    {"PlayLangAutoVideo", play_lang_auto_video},
    {"GetLang", get_lang},
};

}  // namespace

std::vector<std::string> Plugin_Tokens(const char* line) {
  char buffer[Line_Buffer_Size];
  std::strncpy(buffer, line != nullptr ? line : "", Line_Buffer_Size - 1);
  buffer[Line_Buffer_Size - 1] = 0;
  std::vector<std::string> tokens;
  const char* c = buffer;
  while (*c) {
    while (*c && !is_token_char(static_cast<unsigned char>(*c))) ++c;
    const char* start = c;
    while (*c && is_token_char(static_cast<unsigned char>(*c))) ++c;
    if (c > start) tokens.emplace_back(start, c);
  }
  return tokens;
}

int Plugin_Dispatch(const char* line) {
  std::vector<std::string> tokens = Plugin_Tokens(line);
  if (tokens.empty()) return 0;
  for (int entry = 13; entry >= 0; --entry) {
    const Plugin& plugin = plugin_table[entry];
    if (Str_Compare_No_Case(tokens[0].c_str(), plugin.name) != 0) continue;
    std::vector<char*> args;
    for (size_t i = 1; i < tokens.size(); ++i) args.push_back(tokens[i].data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    plugin.handler(count, args.data());
    return 1;
  }
  return 0;
}
