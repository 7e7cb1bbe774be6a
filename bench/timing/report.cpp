#include "report.hpp"

#include <array>
#include <istream>
#include <sstream>
#include <string_view>

namespace timing {

namespace {

// The single figures, by the key of their line.
constexpr std::array<std::pair<std::string_view, std::int64_t Report::*>, 9> kFigures{{
    {"status", &Report::status},
    {"first_present_ns", &Report::first_present_ns},
    {"backend_first_present_ms", &Report::backend_first_present_ms},
    {"first_present_at", &Report::first_present_at},
    {"cpu_at_first_present_ns", &Report::cpu_at_first_present_ns},
    {"cpu_at_end_ns", &Report::cpu_at_end_ns},
    {"main_cpu_at_first_present_ns", &Report::main_cpu_at_first_present_ns},
    {"main_cpu_at_end_ns", &Report::main_cpu_at_end_ns},
    {"end_at", &Report::end_at},
}};

std::int64_t* Figure(Report& r, std::string_view key) {
  for (const auto& [name, field] : kFigures) {
    if (name == key) return &(r.*field);
  }
  return nullptr;
}

// "NS NAME": a number, then the rest of the line.
std::pair<std::string, std::int64_t> Named(std::istream& in) {
  std::int64_t ns = 0;
  std::string name;
  in >> ns;
  std::getline(in >> std::ws, name);
  return {name, ns};
}

}  // namespace

double Report::SteadyPercent(std::int64_t cpu_ns) const {
  return 100.0 * static_cast<double>(cpu_ns) / static_cast<double>(end_at - first_present_at);
}

std::string Report::Text() const {
  std::ostringstream out;
  for (const auto& [name, field] : kFigures) out << name << " " << this->*field << "\n";
  for (const auto& [name, cpu_ns] : threads) out << "thread " << cpu_ns << " " << name << "\n";
  for (const auto& [name, ns] : phases) out << "phase " << ns << " " << name << "\n";
  for (const auto& box : boxes) out << "box " << box << "\n";
  for (const std::int64_t t : ticks) out << "tick " << t << "\n";
  return out.str();
}

Report Report::Parse(const std::string& text) {
  Report r;
  std::istringstream in(text);
  for (std::string key; in >> key;) {
    if (key == "tick") {
      in >> r.ticks.emplace_back();
    } else if (key == "box") {
      std::getline(in, r.boxes.emplace_back());
    } else if (key == "thread") {
      r.threads.push_back(Named(in));
    } else if (key == "phase") {
      r.phases.push_back(Named(in));
    } else if (std::int64_t* figure = Figure(r, key)) {
      in >> *figure;
    }
  }
  return r;
}

}  // namespace timing
