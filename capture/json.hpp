#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zenora {

// A JSON object written field by field, in the order given: one field to a
// line, or all on one line (for an object inside another).
class JsonObject {
 public:
  enum class Layout { LinePerField, OneLine };
  explicit JsonObject(Layout layout = Layout::LinePerField) : separator_(layout == Layout::OneLine ? ", " : ",\n ") {}

  void Number(std::string_view key, double value);
  void Bool(std::string_view key, bool value);
  void String(std::string_view key, std::string_view value);
  void Numbers(std::string_view key, const std::vector<double>& values);
  void Object(std::string_view key, const JsonObject& value);
  std::string Text() const { return text_ + "}"; }

 private:
  void Key(std::string_view key);
  std::string_view separator_;
  std::string text_ = "{";
};

}  // namespace zenora
