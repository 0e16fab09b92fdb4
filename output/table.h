#pragma once

#include <string>
#include <vector>

// Tables of results: tab-separated text with a header row, which gnuplot,
// pandas and spreadsheets read, and the same table aligned for people.

namespace vmc {

struct table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;  // each as long as the header
};

// The header and the rows, cells separated by one tab, each row ending in a
// line break.
std::string tab_separated(const table& t);

// The header and the rows with every column right-aligned to its widest
// cell, columns two blanks apart.
std::string aligned(const table& t);

// The shortest text that reads back to the same value ("0.3", "-30.1273",
// "1e-06"); "NaN", "Infinity" and "-Infinity" for the special values.
std::string shortest(float x);
std::string shortest(double x);

// x with `digits` digits after the point ("-30.12735"), or from 1e9 on with an
// exponent ("1.4409e+31"); special values as above.
std::string fixed(double x, int digits);

}  // namespace vmc
