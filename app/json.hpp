#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zenora {

// A flat JSON object written field by field, for state dumps.
class JsonObject {
 public:
  void Number(std::string_view key, double value);
  void Bool(std::string_view key, bool value);
  void String(std::string_view key, std::string_view value);
  void Numbers(std::string_view key, const std::vector<double>& values);
  void Timer(std::string_view key, bool enabled, int interval);
  std::string Text() const { return text_ + "}\n"; }

 private:
  void Key(std::string_view key);
  std::string text_ = "{";
};

}  // namespace zenora
