// import zones: a zone file from JSON.
//
// Accepted JSON: an object with a "zones" array (or the bare array). Each zone is
// an object with its four limits as the zone file stores them, "a1", "a2", "b1",
// "b2" (radians for a panorama, pixels for a flat node), or the same four under
// the names "left", "right", "top", "bottom". An optional "index" places the zone;
// indices must then cover 0 to n-1 once each. Every other key ("node", "tests",
// ...) is ignored, so the JSON that export writes can be edited and read back.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cmd_import.h"
#include "tool.h"

namespace {

// ---- A small JSON reader ------------------------------------------------------

struct Json {
  enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
  double number = 0.0;
  bool boolean = false;
  std::string text;
  std::vector<Json> items;                       // Array
  std::vector<std::pair<std::string, Json>> members;  // Object, file order
  const Json* member(const char* name) const {
    for (const auto& [key, value] : members) {
      if (key == name) return &value;
    }
    return nullptr;
  }
};

class Json_Parser {
 public:
  explicit Json_Parser(const std::string& text) : text_(text) {}

  // The whole text as one value; false with the reason (and its line).
  bool parse(Json& out, std::string* error) {
    if (!value(out, 0) || (skip_blanks(), pos_ != text_.size())) {
      if (error_.empty()) error_ = "unexpected text after the JSON value";
      *error = "JSON line " + std::to_string(line()) + ": " + error_;
      return false;
    }
    return true;
  }

 private:
  static constexpr int Max_Depth = 64;

  int line() const {
    int n = 1;
    for (size_t i = 0; i < pos_ && i < text_.size(); ++i) n += text_[i] == '\n';
    return n;
  }
  bool fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  void skip_blanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r')) {
      ++pos_;
    }
  }
  bool literal(const char* word) {
    size_t n = std::strlen(word);
    if (text_.compare(pos_, n, word) != 0) return false;
    pos_ += n;
    return true;
  }
  bool value(Json& out, int depth) {
    if (depth > Max_Depth) return fail("nested too deeply");
    skip_blanks();
    if (pos_ >= text_.size()) return fail("the text ends where a value was expected");
    char c = text_[pos_];
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') {
      out.kind = Json::String;
      return string(out.text);
    }
    if (literal("true")) {
      out.kind = Json::Bool;
      out.boolean = true;
      return true;
    }
    if (literal("false")) {
      out.kind = Json::Bool;
      return true;
    }
    if (literal("null")) return true;
    return number(out);
  }
  bool number(Json& out) {
    // The JSON number grammar, checked by hand so that the locale never matters.
    size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    auto digits = [this] {
      size_t from = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (!digits()) return fail("a value was expected");
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!digits()) return fail("a digit must follow the decimal point");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digits()) return fail("a digit must follow the exponent");
    }
    std::string token = text_.substr(start, pos_ - start);
    // Digits and exponent by hand (strtod would read the decimal point of the
    // user's locale), scaled once by a power of ten, so that the nine digits a
    // float is written with read back as the same float.
    double mantissa = 0.0;
    int exponent = 0, fraction_digits = 0;
    bool negative = false, after_point = false;
    size_t i = 0;
    if (token[i] == '-') negative = (++i, true);
    for (; i < token.size() && token[i] != 'e' && token[i] != 'E'; ++i) {
      if (token[i] == '.') {
        after_point = true;
        continue;
      }
      mantissa = mantissa * 10.0 + (token[i] - '0');
      if (after_point) ++fraction_digits;
    }
    if (i < token.size()) {
      bool exponent_negative = false;
      for (++i; i < token.size(); ++i) {
        if (token[i] == '-') exponent_negative = true;
        else if (token[i] != '+' && exponent < 10000) exponent = exponent * 10 + (token[i] - '0');
      }
      if (exponent_negative) exponent = -exponent;
    }
    const int scale = exponent - fraction_digits;
    double value = scale < 0 ? mantissa / std::pow(10.0, -scale) : mantissa * std::pow(10.0, scale);
    out.kind = Json::Number;
    out.number = negative ? -value : value;
    return true;
  }
  bool string(std::string& out) {
    ++pos_;  // opening quote
    out.clear();
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character inside a string");
      if (c != '\\') {
        out.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) break;
      char e = text_[pos_++];
      switch (e) {
        case '"': case '\\': case '/': out.push_back(e); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          if (pos_ + 4 > text_.size()) return fail("short \\u escape");
          unsigned code = 0;
          for (int k = 0; k < 4; ++k) {
            char h = text_[pos_++];
            code <<= 4;
            if (h >= '0' && h <= '9') code |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f') code |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F') code |= static_cast<unsigned>(h - 'A' + 10);
            else return fail("bad \\u escape");
          }
          // Names here are single-byte text: keep what fits, mark the rest.
          out.push_back(code < 256 ? static_cast<char>(code) : '?');
          break;
        }
        default: return fail("unknown escape in a string");
      }
    }
    return fail("unterminated string");
  }
  bool array(Json& out, int depth) {
    ++pos_;
    out.kind = Json::Array;
    skip_blanks();
    if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
    for (;;) {
      out.items.emplace_back();
      if (!value(out.items.back(), depth + 1)) return false;
      skip_blanks();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == ']') return ++pos_, true;
      return fail("',' or ']' expected in an array");
    }
  }
  bool object(Json& out, int depth) {
    ++pos_;
    out.kind = Json::Object;
    skip_blanks();
    if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
    for (;;) {
      skip_blanks();
      if (pos_ >= text_.size() || text_[pos_] != '"') return fail("a quoted key was expected in an object");
      std::string key;
      if (!string(key)) return false;
      skip_blanks();
      if (pos_ >= text_.size() || text_[pos_] != ':') return fail("':' expected after the key \"" + key + "\"");
      ++pos_;
      out.members.emplace_back(key, Json{});
      if (!value(out.members.back().second, depth + 1)) return false;
      skip_blanks();
      if (pos_ < text_.size() && text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < text_.size() && text_[pos_] == '}') return ++pos_, true;
      return fail("',' or '}' expected in an object");
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  std::string error_;
};

// ---- Zones --------------------------------------------------------------------

struct Zone_Limits {
  float a1, a2, b1, b2;
};

// A limit by its zone-file name or its alias; false with the reason.
bool limit(const Json& zone, const char* name, const char* alias, size_t position, float* out,
           std::string* error) {
  const Json* v = zone.member(name);
  if (v == nullptr) v = zone.member(alias);
  const std::string where = "zone " + std::to_string(position);
  if (v == nullptr) {
    *error = where + " has no \"" + name + "\" (or \"" + alias + "\")";
    return false;
  }
  if (v->kind != Json::Number || !std::isfinite(v->number) || std::fabs(v->number) > 3.0e38) {
    *error = where + ": \"" + name + "\" must be a finite number";
    return false;
  }
  *out = static_cast<float>(v->number);
  return true;
}

bool read_zones(const Json& root, std::vector<Zone_Limits>& zones, std::string* error) {
  const Json* list = &root;
  if (root.kind == Json::Object) {
    list = root.member("zones");
    if (list == nullptr) {
      *error = "the JSON object has no \"zones\" array";
      return false;
    }
  }
  if (list->kind != Json::Array) {
    *error = "\"zones\" must be an array of zone objects";
    return false;
  }
  const size_t n = list->items.size();
  zones.assign(n, Zone_Limits{});
  std::vector<bool> placed(n, false);
  bool any_index = false;
  for (size_t i = 0; i < n; ++i) {
    const Json& zone = list->items[i];
    if (zone.kind != Json::Object) {
      *error = "zone " + std::to_string(i) + " is not an object";
      return false;
    }
    size_t at = i;
    if (const Json* index = zone.member("index")) {
      any_index = true;
      if (index->kind != Json::Number || index->number < 0 || index->number >= static_cast<double>(n) ||
          index->number != std::floor(index->number)) {
        *error = "zone " + std::to_string(i) + ": \"index\" must be a whole number from 0 to " +
                 std::to_string(n == 0 ? 0 : n - 1);
        return false;
      }
      at = static_cast<size_t>(index->number);
    } else if (any_index) {
      *error = "zone " + std::to_string(i) + " has no \"index\" while others do";
      return false;
    }
    if (placed[at]) {
      *error = "two zones have index " + std::to_string(at);
      return false;
    }
    placed[at] = true;
    Zone_Limits& z = zones[at];
    if (!limit(zone, "a1", "left", i, &z.a1, error) || !limit(zone, "a2", "right", i, &z.a2, error) ||
        !limit(zone, "b1", "top", i, &z.b1, error) || !limit(zone, "b2", "bottom", i, &z.b2, error)) {
      return false;
    }
  }
  if (any_index) {
    for (size_t i = 0; i < n; ++i) {
      if (!placed[i]) {
        *error = "no zone has index " + std::to_string(i);
        return false;
      }
    }
  }
  return true;
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_f32(std::vector<uint8_t>& out, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  put_u32(out, bits);
}

}  // namespace

int Import_Zones(const std::vector<std::string>& args) {
  if (args.size() != 2) return Tool_Usage_Error("import", "import zones takes IN.json and OUT.ZON");
  std::vector<unsigned char> bytes;
  if (!Tool_Read_File(args[0], bytes)) return Tool_Fail("cannot read " + args[0]);
  if (bytes.size() > (64u << 20)) return Tool_Fail(args[0] + ": too large for a zone list");
  const std::string text(bytes.begin(), bytes.end());
  Json root;
  std::string error;
  Json_Parser parser(text);
  if (!parser.parse(root, &error)) return Tool_Fail(args[0] + ": " + error);
  std::vector<Zone_Limits> zones;
  if (!read_zones(root, zones, &error)) return Tool_Fail(args[0] + ": " + error);
  // The zone file: a 32-bit count, then four 32-bit floats a zone, little-endian.
  std::vector<uint8_t> out;
  put_u32(out, static_cast<uint32_t>(zones.size()));
  for (const Zone_Limits& z : zones) {
    put_f32(out, z.a1);
    put_f32(out, z.a2);
    put_f32(out, z.b1);
    put_f32(out, z.b2);
  }
  if (!Tool_Write_File(args[1], out.data(), out.size())) return Tool_Fail("cannot write " + args[1]);
  return Tool_Ok;
}
