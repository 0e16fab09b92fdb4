#include "vmc/curve_table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "output/io_error.h"

namespace vmc {
namespace {

// The fields of a line split at `separator`; blanks and tabs also separate
// when separator is ' '.
std::vector<std::string_view> fields_of(std::string_view line, char separator) {
  std::vector<std::string_view> out;
  if (separator == ' ') {
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    out.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return out;
    start = end + 1;
  }
}

bool number_of(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() &&
         std::isfinite(value);
}

}  // namespace

std::vector<curve_point> parse_curve(const std::string& name, std::string_view text,
                                     const std::function<void(const std::string&)>& skipped) {
  std::vector<curve_point> points;
  // Columns: s, energy, error, flag; -1 when absent.
  int s_column = -1, e_column = -1, error_column = -1, flag_column = -1, tau_column = -1;
  // Whether each point is a limit tau -> 0 of a dmc table (time_step 0).
  std::vector<bool> limit;
  bool header_read = false, plain = false;
  std::size_t line_number = 0, start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    const std::string where = "line " + std::to_string(line_number) + ": ";
    if (!header_read) {
      header_read = true;
      double x = 0;
      const std::vector<std::string_view> first = fields_of(line, ' ');
      if (number_of(first.front(), x)) {
        plain = true;
      } else {
        const std::vector<std::string_view> header = fields_of(line, '\t');
        for (std::size_t c = 0; c < header.size(); ++c) {
          const int i = static_cast<int>(c);
          if (header[c] == "s") s_column = i;
          if (header[c] == "energy") e_column = i;
          if (header[c] == "error") error_column = i;
          if (header[c] == "flag") flag_column = i;
          if (header[c] == "time_step") tau_column = i;
        }
        if (s_column < 0 || e_column < 0) {
          throw io_error(name, where + "expected a header row naming the columns s and energy");
        }
        continue;
      }
    }
    curve_point p;
    double s = 0, e = 0, error = 0;
    bool is_limit = false;
    if (plain) {
      // The exact curve: R_bohr E_hartree s_A E_eV.
      const std::vector<std::string_view> f = fields_of(line, ' ');
      if (f.size() != 4 || !number_of(f[2], s) || !number_of(f[3], e)) {
        throw io_error(name, where + "expected four numbers: R_bohr E_hartree s_angstrom E_eV");
      }
    } else {
      const std::vector<std::string_view> f = fields_of(line, '\t');
      auto cell = [&](int c) { return c >= 0 && static_cast<std::size_t>(c) < f.size() ? f[c] : ""; };
      double tau = 1;
      is_limit = tau_column >= 0 && number_of(cell(tau_column), tau) && tau == 0.0;
      if (flag_column >= 0 && !cell(flag_column).empty()) {
        skipped("s = " + std::string(cell(s_column)) + ": skipped, flagged \"" +
                std::string(cell(flag_column)) + "\"");
        continue;
      }
      if (!number_of(cell(s_column), s) || !number_of(cell(e_column), e)) {
        throw io_error(name, where + "expected numbers in the columns s and energy");
      }
      if (error_column >= 0 && (!number_of(cell(error_column), error) || !(error > 0.0))) {
        throw io_error(name, where + "expected an error above 0");
      }
    }
    if (!(s > 0.0)) throw io_error(name, where + "expected a separation above 0");
    p.r = s / model_bohr_a;
    p.e = e / model_hartree_ev;
    p.error = error / model_hartree_ev;
    points.push_back(p);
    limit.push_back(is_limit);
  }
  // A dmc table of several time steps holds each separation's limit tau -> 0
  // after its runs: the limits are the curve.
  if (std::find(limit.begin(), limit.end(), true) != limit.end()) {
    std::vector<curve_point> limits;
    for (std::size_t k = 0; k < points.size(); ++k) {
      if (limit[k]) limits.push_back(points[k]);
    }
    points = std::move(limits);
  }
  if (points.size() < 4) {
    throw io_error(name, "expected at least four points; found " + std::to_string(points.size()));
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const curve_point& a, const curve_point& b) { return a.r < b.r; });
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (points[i].r == points[i - 1].r) {
      throw io_error(name, "two points at s = " + std::to_string(points[i].r * model_bohr_a));
    }
  }
  return points;
}

std::vector<curve_point> read_curve(const std::string& path,
                                    const std::function<void(const std::string&)>& skipped) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw io_error(path, errno);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw io_error(path, errno);
  return parse_curve(path, text.str(), skipped);
}

}  // namespace vmc
