#include "vmc/options.h"

#include <charconv>
#include <cmath>
#include <string>

#include "output/quoted.h"

namespace vmc {
namespace {

[[noreturn]] void refuse(std::string_view option, std::string_view expected, std::string_view got) {
  throw usage_error(std::string(option) + ": expected " + std::string(expected) + "; got " +
                    quoted(got));
}

bool decimal_chars(std::string_view t) {
  if (t.empty()) return false;
  for (char c : t) {
    const bool ok = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// A decimal number that is all of t (from_chars reads no "inf", "nan" or hex
// when only decimal characters are allowed).
template <class Real>
bool read_decimal(std::string_view t, Real& value) {
  if (!decimal_chars(t)) return false;
  if (t.front() == '+') t.remove_prefix(1);
  const std::from_chars_result r = std::from_chars(t.data(), t.data() + t.size(), value);
  return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(value);
}

constexpr std::string_view separation_form =
    "separations in angstrom as START:STOP:STEP (such as 0.3:2.5:0.05) or a comma list "
    "(such as 0.5,0.74,1.4), each from 0.01 to 1000";

float checked_separation(std::string_view option, double s, std::string_view got) {
  if (!separation_in_range(s)) refuse(option, separation_form, got);
  return static_cast<float>(s);
}

std::string text_of(float x) {
  char text[32];
  const std::to_chars_result r = std::to_chars(text, text + sizeof text, x);
  return std::string(text, r.ptr);
}

}  // namespace

bool separation_in_range(double s) {
  return s >= smallest_separation_a && s <= largest_separation_a;
}

std::vector<float> parse_separations(std::string_view option, std::string_view text) {
  std::vector<float> out;
  const std::size_t colon = text.find(':');
  if (colon != std::string_view::npos) {
    const std::size_t second = text.find(':', colon + 1);
    if (second == std::string_view::npos || text.find(':', second + 1) != std::string_view::npos) {
      refuse(option, separation_form, text);
    }
    double start = 0, stop = 0, step = 0;
    if (!read_decimal(text.substr(0, colon), start) ||
        !read_decimal(text.substr(colon + 1, second - colon - 1), stop) ||
        !read_decimal(text.substr(second + 1), step)) {
      refuse(option, separation_form, text);
    }
    if (!(step > 0.0)) refuse(option, "a STEP above 0 in START:STOP:STEP", text);
    if (stop < start) refuse(option, "STOP at least START in START:STOP:STEP", text);
    const double last = std::floor((stop - start) / step + 1e-9);
    if (last + 1.0 > static_cast<double>(most_separations)) {
      refuse(option, "at most " + std::to_string(most_separations) + " separations", text);
    }
    for (double k = 0; k <= last; ++k) {
      // A last value within the tolerance beyond STOP is STOP.
      out.push_back(checked_separation(option, std::fmin(start + k * step, stop), text));
    }
    return out;
  }
  std::size_t begin = 0;
  for (;;) {
    const std::size_t comma = text.find(',', begin);
    const std::string_view item =
        text.substr(begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin);
    double s = 0;
    if (!read_decimal(item, s)) refuse(option, separation_form, text);
    out.push_back(checked_separation(option, s, item));
    if (out.size() > most_separations) {
      refuse(option, "at most " + std::to_string(most_separations) + " separations", text);
    }
    if (comma == std::string_view::npos) break;
    begin = comma + 1;
  }
  return out;
}

std::int64_t parse_count(std::string_view option, std::string_view text, std::int64_t least,
                         std::int64_t most, std::string_view example) {
  const std::string expected =
      "a whole number of at least " + std::to_string(least) + " and at most " +
      (most == most_steps ? std::string("1e12") : std::to_string(most)) + ", " + std::string(example);
  double value = 0;
  // Every whole number up to 1e12 is exact in a double.
  if (!read_decimal(text, value) || value != std::floor(value) ||
      value < static_cast<double>(least) || value > static_cast<double>(most)) {
    refuse(option, expected, text);
  }
  return static_cast<std::int64_t>(value);
}

float parse_real(std::string_view option, std::string_view text, float least, bool strictly,
                 float most) {
  float value = 0;
  const bool ok = read_decimal(text, value) && (strictly ? value > least : value >= least) &&
                  value <= most;
  if (!ok) {
    std::string expected =
        std::string("a finite number ") + (strictly ? "above " : "of at least ") + text_of(least);
    if (most < std::numeric_limits<float>::max()) expected += " and at most " + text_of(most);
    refuse(option, expected, text);
  }
  return value;
}

trial_choice parse_trial(std::string_view beta, std::string_view ionic_weight,
                         std::string_view orbital_length) {
  return {parse_real("--beta", beta, 0.0f, false, largest_beta),
          parse_real("--ionic-weight", ionic_weight, 0.0f, false, largest_ionic_weight),
          orbital_length.empty() ? 0.0f
                                 : parse_real("--orbital-length", orbital_length,
                                              smallest_orbital_length, false,
                                              largest_orbital_length)};
}

trial_request parse_trial_request(std::string_view trial, std::string_view beta,
                                  std::string_view ionic_weight, std::string_view orbital_length) {
  trial_request r;
  if (trial == "classic") {
    r.classic = true;
  } else if (trial != "optimised" && trial != "optimized") {
    refuse("--trial", "optimised or classic", trial);
  }
  if (!beta.empty()) r.beta = parse_real("--beta", beta, 0.0f, false, largest_beta);
  if (!ionic_weight.empty()) {
    r.ionic_weight = parse_real("--ionic-weight", ionic_weight, 0.0f, false, largest_ionic_weight);
  }
  if (!orbital_length.empty()) {
    r.orbital_length = parse_real("--orbital-length", orbital_length, smallest_orbital_length, false,
                                  largest_orbital_length);
  }
  return r;
}

std::int32_t parse_seed(std::string_view option, std::string_view text) {
  std::int64_t value = 0;
  const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || value < 1 ||
      value > 2147483562) {
    refuse(option, "a whole number from 1 to 2147483562", text);
  }
  return static_cast<std::int32_t>(value);
}

void check_separations(std::string_view option, const std::vector<float>& separations) {
  if (separations.empty()) refuse(option, separation_form, "");
  if (separations.size() > most_separations) {
    throw usage_error(std::string(option) + ": expected at most " + std::to_string(most_separations) +
                      " separations; got " + std::to_string(separations.size()));
  }
  // The shortest text of a float reads back as that float, and as the
  // separation typed (0.01f lies below 0.01 in double, "0.01" does not).
  for (const float s : separations) parse_separations(option, text_of(s));
}

void check_count(std::string_view option, std::int64_t value, std::int64_t least, std::int64_t most,
                 std::string_view example) {
  parse_count(option, std::to_string(value), least, most, example);
}

void check_real(std::string_view option, float value, float least, bool strictly, float most) {
  parse_real(option, text_of(value), least, strictly, most);
}

void check_seed(std::string_view option, std::int64_t seed) {
  parse_seed(option, std::to_string(seed));
}

std::string typed_or(const typed_options& typed, std::string_view option, std::string value_text) {
  const auto found = typed.find(option);
  return found == typed.end() ? value_text : found->second;
}

}  // namespace vmc
