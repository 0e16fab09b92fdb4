// vmc_h2: vmc's scan, optimize and dmc for Python, each returning its table
// as a pandas DataFrame. Keyword arguments are the command line's options
// (with _ for -) and take what the options take, as text or as numbers; the
// settings are read by the same readers and checked by the same checks, so a
// call gives the numbers the command gives, and a refusal raises ValueError
// with the command's line.

#include <omp.h>
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "model/constants.h"
#include "output/table.h"
#include "vmc/dmc.h"
#include "vmc/optimize.h"
#include "vmc/options.h"
#include "vmc/scan.h"
#include "vmc/stop_request.h"

namespace py = pybind11;

namespace vmc {
namespace {

// The text of a keyword's value as the command line would have it: a str as
// it is, a number as Python writes it (1e6 as "1000000.0", which the count
// reader takes as the whole number it is).
std::string text_of(const py::handle& value) {
  if (py::isinstance<py::bool_>(value)) {
    throw usage_error("expected a number or its text; got " + std::string(py::str(value)));
  }
  return py::str(value);
}

// Separations (or time steps) as the command line's text, or as a number or
// a list of numbers (a comma list, each number written as Python writes it).
std::string separations_text(const py::handle& value) {
  if (py::isinstance<py::str>(value)) return py::str(value);
  if (!py::isinstance<py::iterable>(value)) return text_of(value);
  std::string text;
  for (const py::handle item : value) {
    if (!text.empty()) text += ',';
    text += text_of(item);
  }
  return text;
}

// Runs work(stop) on a thread of its own with the GIL released, the calling
// thread waking every 50 ms to let Python handle its signals: on Ctrl-C
// (KeyboardInterrupt, or whatever a signal handler raises) it sets the stop
// request, waits for the run to stop and raises that exception. A failure of
// the progress callback, kept in `failure`, is raised once the run stopped.
template <class Result>
Result walk_without_gil(const std::type_identity_t<std::function<Result(const stop_request&)>>& work,
                        const std::shared_ptr<std::exception_ptr>& failure,
                        const std::shared_ptr<stop_request>& stop) {
  std::promise<Result> promise;
  std::future<Result> result = promise.get_future();
  std::thread worker([&] {
    try {
      promise.set_value(work(*stop));
    } catch (...) {
      promise.set_exception(std::current_exception());
    }
  });
  std::optional<py::error_already_set> interrupted;
  for (;;) {
    std::future_status status;
    {
      py::gil_scoped_release released;
      status = result.wait_for(std::chrono::milliseconds(50));
    }
    if (status == std::future_status::ready) break;
    if (PyErr_CheckSignals() != 0) {
      interrupted.emplace();  // takes the raised exception
      stop->store(true);
      break;
    }
  }
  {
    py::gil_scoped_release released;
    worker.join();
  }
  if (interrupted) throw std::move(*interrupted);
  if (*failure) std::rethrow_exception(*failure);
  return result.get();
}

// The callback's exception is kept and the run asked to stop; the run then
// unwinds with a C++ exception of its own.
struct callback_failed : std::runtime_error {
  callback_failed() : std::runtime_error("the progress callback raised") {}
};

template <class... Args>
std::function<void(Args...)> guarded(const py::object& callback,
                                     const std::shared_ptr<std::exception_ptr>& failure,
                                     const std::shared_ptr<stop_request>& stop,
                                     std::type_identity_t<std::function<py::tuple(Args...)>> arguments) {
  if (callback.is_none()) return {};
  // Borrowed: the caller's frame holds the callable for the whole run, and a
  // handle is copied without the GIL.
  const py::handle handle = callback;
  return [handle, failure, stop, arguments](Args... args) {
    if (*failure) throw callback_failed();
    py::gil_scoped_acquire gil;
    try {
      handle(*arguments(args...));
    } catch (...) {
      *failure = std::current_exception();
      stop->store(true);
      throw callback_failed();
    }
  };
}

// The table as the DataFrame pandas reads from its file (read_csv with
// sep='\t'), the flag column's empty cells as "" rather than NaN.
py::object frame_of(const table& t, const py::dict& provenance) {
  py::module_ io = py::module_::import("io");
  py::module_ pandas = py::module_::import("pandas");
  py::object frame = pandas.attr("read_csv")(io.attr("StringIO")(tab_separated(t)),
                                             py::arg("sep") = "\t");
  frame.attr("__setitem__")("flag", frame["flag"].attr("fillna")(""));
  frame.attr("attrs").attr("update")(provenance);
  return frame;
}

py::dict provenance(const std::string& command, const std::vector<std::pair<std::string, std::string>>& options) {
  py::dict settings;
  std::string line = "vmc " + command;
  for (const auto& [name, text] : options) {
    settings[py::str(name)] = text;
    std::string option = name;
    for (char& c : option) c = c == '_' ? '-' : c;
    if (!text.empty()) line += " --" + option + " " + text;
  }
  py::dict d;
  d["program"] = "vmc_h2 " VMC_VERSION;
  d["command"] = command;
  d["settings"] = settings;
  d["command_line"] = line;
  return d;
}

// The OpenMP threads of a call: threads when given, otherwise OpenMP's
// default; set on the run's own thread, so that one call's choice stays its own.
int threads_of(const py::object& threads) {
  if (threads.is_none()) return omp_get_max_threads();
  return static_cast<int>(parse_count("threads", text_of(threads), 1, 1024, "such as 2"));
}

py::object scan(const py::object& separations, const py::object& steps, const py::object& equilibration,
                const py::object& walkers, const py::object& beta, const py::object& ionic_weight,
                const py::object& orbital_length, const py::object& step_size, const py::object& seed,
                bool no_reflections, const py::object& threads, const py::object& progress) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"separations", separations_text(separations)},
      {"steps", text_of(steps)},
      {"equilibration", text_of(equilibration)},
      {"walkers", text_of(walkers)},
      {"beta", text_of(beta)},
      {"ionic_weight", text_of(ionic_weight)},
      {"orbital_length", orbital_length.is_none() ? "" : text_of(orbital_length)},
      {"step_size", text_of(step_size)},
      {"seed", text_of(seed)}};
  const auto t = [&texts](std::size_t k) { return texts[k].second; };
  scan_settings s;
  s.separations = parse_separations("--separations", t(0));
  s.steps = parse_count("--steps", t(1), 2);
  s.equilibration = parse_count("--equilibration", t(2), 0);
  s.walkers = parse_count("--walkers", t(3), 1);
  const typed_options typed{{"--walkers", t(3)}, {"--steps", t(1)}};
  validate(s, typed);
  const trial_choice trial = parse_trial(t(4), t(5), t(6));
  s.beta = trial.beta;
  s.ionic_weight = trial.ionic_weight;
  s.orbital_length = trial.orbital_length;
  s.step_size = parse_real("--step-size", t(7), smallest_step_size, false, largest_step_size);
  s.seed = parse_seed("--seed", t(8));
  s.reflections = !no_reflections;
  validate(s, typed);
  const int nthreads = threads_of(threads);

  auto failure = std::make_shared<std::exception_ptr>();
  auto stop = std::make_shared<stop_request>(false);
  const auto done = guarded<std::size_t, std::size_t>(
      progress, failure, stop,
      [](std::size_t k, std::size_t n) { return py::make_tuple(k, n); });
  const std::vector<scan_row> rows = walk_without_gil<std::vector<scan_row>>(
      [&](const stop_request& stopping) {
        omp_set_num_threads(nthreads);
        return run_scan(s, done, &stopping);
      },
      failure, stop);
  std::vector<std::pair<std::string, std::string>> shown = texts;
  if (no_reflections) shown.push_back({"no_reflections", "true"});
  return frame_of(scan_table(rows), provenance("scan", shown));
}

py::object optimize(const py::object& separations, const py::object& steps,
                    const py::object& equilibration, const py::object& sample_steps,
                    const py::object& max_rounds, const py::object& step_size, const py::object& seed,
                    const py::object& threads, const py::object& progress) {
  std::vector<std::pair<std::string, std::string>> texts = {
      {"separations", separations_text(separations)},
      {"steps", text_of(steps)},
      {"equilibration", text_of(equilibration)},
      {"sample_steps", text_of(sample_steps)},
      {"max_rounds", text_of(max_rounds)}};
  const auto t = [&texts](std::size_t k) { return texts[k].second; };
  optimize_settings s;
  s.separations = parse_separations("--separations", t(0));
  s.steps = parse_count("--steps", t(1), 2);
  s.equilibration = parse_count("--equilibration", t(2), 0);
  s.sample_steps =
      parse_count("--sample-steps", t(3), 1000, most_sample_steps, "such as 100000 or 1e5");
  s.max_rounds = static_cast<int>(parse_count("--max-rounds", t(4), 1, 100, "such as 10"));
  // Given, every walk keeps the step; otherwise each tunes it from the default.
  s.tune_step = step_size.is_none();
  if (!s.tune_step) {
    texts.push_back({"step_size", text_of(step_size)});
    s.step_size = parse_real("--step-size", texts.back().second, smallest_step_size, false,
                             largest_step_size);
  }
  texts.push_back({"seed", text_of(seed)});
  s.seed = parse_seed("--seed", texts.back().second);
  validate(s);
  const int nthreads = threads_of(threads);

  auto failure = std::make_shared<std::exception_ptr>();
  auto stop = std::make_shared<stop_request>(false);
  const auto report = guarded<const optimize_round&>(
      progress, failure, stop, [](const optimize_round& r) {
        py::dict d;
        d["s"] = r.s;
        d["round"] = r.round;
        d["beta"] = r.p.beta;
        d["ionic_weight"] = r.p.lambda;
        d["a"] = r.p.a;
        d["predicted"] = r.predicted;
        d["gain"] = r.gain;
        return py::make_tuple(d);
      });
  const std::vector<optimize_row> rows = walk_without_gil<std::vector<optimize_row>>(
      [&](const stop_request& stopping) {
        omp_set_num_threads(nthreads);
        return run_optimize(s, report, &stopping);
      },
      failure, stop);
  return frame_of(optimize_table(rows), provenance("optimize", texts));
}

// The rows of a table of parameters (optimize's DataFrame, or any with the
// columns s, beta, ionic_weight and a) as the command reads its file.
struct parameter_row {
  float s;
  trial_parameters p;
};
std::vector<parameter_row> parameter_rows(const py::object& frame) {
  std::vector<parameter_row> rows;
  for (const char* column : {"s", "beta", "ionic_weight", "a"}) {
    if (!py::bool_(frame.attr("columns").attr("__contains__")(column))) {
      throw usage_error(std::string("--parameters: the table has no column ") + column +
                        " (expected s, beta, ionic_weight and a, as optimize gives)");
    }
  }
  const auto column = [&](const char* name) {
    return frame[name].attr("astype")("float64").attr("tolist")().cast<std::vector<double>>();
  };
  const std::vector<double> s = column("s"), beta = column("beta"), lambda = column("ionic_weight"),
                            a = column("a");
  if (s.empty()) throw usage_error("--parameters: the table has no rows");
  for (std::size_t k = 0; k < s.size(); ++k) {
    // As the command reads the cells: each rounded once to float.
    rows.push_back({static_cast<float>(s[k]),
                    {static_cast<float>(beta[k]), static_cast<float>(lambda[k]),
                     static_cast<float>(a[k])}});
  }
  return rows;
}

py::object dmc(const py::object& separations, const py::object& time_step, const py::object& walkers,
               const py::object& steps, const py::object& equilibration, const py::object& trial,
               const py::object& beta, const py::object& ionic_weight, const py::object& orbital_length,
               const py::object& parameters, const py::object& seed, const py::object& threads,
               const py::object& progress) {
  const bool given_parameters = !parameters.is_none();
  const bool given_separations = !separations.is_none();
  if (given_parameters && (!beta.is_none() || !ionic_weight.is_none() || !orbital_length.is_none() ||
                           !trial.is_none())) {
    throw usage_error("--parameters: excludes --trial, --beta, --ionic-weight and --orbital-length");
  }
  std::vector<std::pair<std::string, std::string>> texts;
  dmc_settings s;
  const bool from_option = !given_parameters || given_separations;
  if (from_option) {
    texts.push_back({"separations", given_separations ? separations_text(separations) : "0.74"});
    s.separations = parse_separations("--separations", texts.back().second);
  }
  texts.push_back({"time_step", separations_text(time_step)});
  s.time_steps = parse_time_steps(texts.back().second);
  texts.push_back({"walkers", text_of(walkers)});
  s.walkers = parse_count("--walkers", texts.back().second, 10, 1000000, "such as 2000");
  texts.push_back({"steps", text_of(steps)});
  s.steps = parse_count("--steps", texts.back().second, 2);
  texts.push_back({"equilibration", text_of(equilibration)});
  s.equilibration = parse_count("--equilibration", texts.back().second, 0);
  texts.push_back({"seed", text_of(seed)});
  s.seed = parse_seed("--seed", texts.back().second);
  if (given_parameters) {
    const std::vector<parameter_row> rows = parameter_rows(parameters);
    texts.push_back({"parameters", "TABLE-OF-" + std::to_string(rows.size()) + "-ROWS"});
    if (!from_option) {
      s.separations.clear();
      for (const parameter_row& r : rows) {
        s.separations.push_back(r.s);
        s.parameters.push_back(r.p);
      }
    }
    for (std::size_t i = 0; from_option && i < s.separations.size(); ++i) {
      const float sep = s.separations[i];
      const auto row = std::find_if(rows.begin(), rows.end(),
                                    [sep](const parameter_row& r) { return r.s == sep; });
      if (row == rows.end()) {
        throw usage_error("--parameters: the table has no row for the separation " + shortest(sep) +
                          " (without separations, every row of the table is run)");
      }
      s.parameters.push_back(row->p);
    }
  } else {
    // A keyword given is never read as one not given: an empty text is refused.
    const auto given = [](const py::object& value, const char* option) {
      if (value.is_none()) return std::string();
      std::string text = text_of(value);
      if (text.empty()) throw usage_error(std::string(option) + ": expected a value; got \"\"");
      return text;
    };
    const std::string name = trial.is_none() ? "optimised" : given(trial, "--trial");
    const std::string b = given(beta, "--beta");
    const std::string l = given(ionic_weight, "--ionic-weight");
    const std::string a = given(orbital_length, "--orbital-length");
    texts.push_back({"trial", name});
    if (!b.empty()) texts.push_back({"beta", b});
    if (!l.empty()) texts.push_back({"ionic_weight", l});
    if (!a.empty()) texts.push_back({"orbital_length", a});
    const trial_request request = parse_trial_request(name, b, l, a);
    for (const float sep : s.separations) s.parameters.push_back(trial_at(request, sep));
  }
  validate(s);
  const int nthreads = threads_of(threads);

  auto failure = std::make_shared<std::exception_ptr>();
  auto stop = std::make_shared<stop_request>(false);
  const auto report = guarded<std::int64_t, std::int64_t>(
      progress, failure, stop, [](std::int64_t step, std::int64_t total) {
        return py::make_tuple(step, total);
      });
  const std::vector<dmc_row> rows = walk_without_gil<std::vector<dmc_row>>(
      [&](const stop_request& stopping) {
        omp_set_num_threads(nthreads);
        std::vector<dmc_row> out;
        for (std::size_t i = 0; i < dmc_runs(s); ++i) {
          out.push_back(run_dmc(s, i, report, &stopping));
        }
        return out;
      },
      failure, stop);
  return frame_of(dmc_table(with_time_step_limits(s, rows)), provenance("dmc", texts));
}

}  // namespace
}  // namespace vmc

PYBIND11_MODULE(vmc_h2, m) {
  using namespace pybind11::literals;
  m.doc() =
      "vmc's scan, optimize and dmc, each returning its table as a pandas DataFrame.\n"
      "Keyword arguments are the options of the vmc program with _ for - and the same\n"
      "defaults; counts take 1e6-style numbers, separations a list or the option's text\n"
      "(\"0.3:2.5:0.05\"). The values equal the program's TSV read by pandas.read_csv;\n"
      "DataFrame.attrs holds the settings and the equivalent command line. Settings the\n"
      "program refuses raise ValueError with its message. threads (default: OpenMP's)\n"
      "never changes a number. progress, a callable, is called as the run goes on;\n"
      "whatever it raises stops the run and is raised. Ctrl-C stops a run.";
  m.attr("__version__") = VMC_VERSION;
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const vmc::usage_error& e) {
      PyErr_SetString(PyExc_ValueError, e.what());
    }
  });
  m.def("scan", &vmc::scan, py::kw_only(), "separations"_a = "0.3:2.5:0.05", "steps"_a = 1000000,
        "equilibration"_a = 10000, "walkers"_a = 1, "beta"_a = 0.25, "ionic_weight"_a = 1,
        "orbital_length"_a = py::none(), "step_size"_a = "0.40125", "seed"_a = 5465,
        "no_reflections"_a = false, "threads"_a = py::none(), "progress"_a = py::none(),
        "Metropolis walks along the separations: vmc scan's table.\n"
        "progress(k, n) is called as each of the n separations is done.");
  m.def("optimize", &vmc::optimize, py::kw_only(), "separations"_a = "0.3:2.5:0.05",
        "steps"_a = "1e7", "equilibration"_a = 10000, "sample_steps"_a = "1e5", "max_rounds"_a = 10,
        "step_size"_a = py::none(), "seed"_a = 5465, "threads"_a = py::none(),
        "progress"_a = py::none(),
        "The best beta, ionic weight and orbital length: vmc optimize's table.\n"
        "step_size given, every walk keeps it; otherwise each tunes it from 0.40125.\n"
        "progress(round) is called with a dict after each round of a separation.");
  m.def("dmc", &vmc::dmc, py::kw_only(), "separations"_a = py::none(), "time_step"_a = "1e-4",
        "walkers"_a = 2000, "steps"_a = "1e5", "equilibration"_a = 5000, "trial"_a = py::none(),
        "beta"_a = py::none(), "ionic_weight"_a = py::none(), "orbital_length"_a = py::none(),
        "parameters"_a = py::none(), "seed"_a = 5465, "threads"_a = py::none(),
        "progress"_a = py::none(),
        "Diffusion Monte Carlo: vmc dmc's table. separations default to 0.74, or to\n"
        "every row of parameters (optimize's DataFrame) when that is given.\n"
        "trial is \"optimised\" (the default: built-in parameters of vmc optimize)\n"
        "or \"classic\"; beta, ionic_weight and orbital_length replace its own.\n"
        "progress(step, total) is called as each separation's run goes on.");
}
