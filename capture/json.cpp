#include "json.hpp"

#include <cmath>
#include <cstdio>

namespace zenora {

namespace {

std::string NumberText(double value) {
  char buffer[32];
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else if (std::isfinite(value)) {
    std::snprintf(buffer, sizeof buffer, "%.9g", value);
  } else {
    return "null";
  }
  return buffer;
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace

void JsonObject::Key(std::string_view key) {
  if (text_.size() > 1) text_ += separator_;
  text_ += Quoted(key) + ": ";
}

void JsonObject::Number(std::string_view key, double value) {
  Key(key);
  text_ += NumberText(value);
}

void JsonObject::Bool(std::string_view key, bool value) {
  Key(key);
  text_ += value ? "true" : "false";
}

void JsonObject::String(std::string_view key, std::string_view value) {
  Key(key);
  text_ += Quoted(value);
}

void JsonObject::Numbers(std::string_view key, const std::vector<double>& values) {
  Key(key);
  text_ += "[";
  for (std::size_t i = 0; i < values.size(); ++i) text_ += (i ? ", " : "") + NumberText(values[i]);
  text_ += "]";
}

void JsonObject::Object(std::string_view key, const JsonObject& value) {
  Key(key);
  text_ += value.Text();
}

}  // namespace zenora
