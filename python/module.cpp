// korvane_vantrix: the rating engine, the window's selection and the property library in
// Python (the program directory it serves in engine.h, its arrays of conditions in
// inputs.h).
//
// The module binds the program directory's libraries by absolute path as the window and
// vantrix-cli do (kv::bindLibraries), and runs the selection, the envelope and the
// performance table through the command line's own code (kvcli::runBound), so that every
// figure and every row is the command line's.
//
// The engine keeps one catalogue per process (KPX_Initialize replaces it), and a second
// program directory's libraries would share the first one's property library by its
// name. A process therefore serves one program directory: opening another is refused.
// Every engine call runs under one mutex, with the interpreter lock released, so Python
// threads may call the module at once; the property library guards its own state, and its
// functions are called without that mutex.
#include "engine.h"
#include "inputs.h"
#include "kpx/catalogue_schema.h"
#include "kpx_text_buffer.h"
#include "kv/binding.h"
#include "kv/codelists.h"
#include "kv/conditions.h"
#include "kv/datacheck.h"
#include "kv/displaytext.h"
#include "kv/perftable.h"
#include "kv/units.h"
#include "kvcli/cli.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <dlfcn.h>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace py = pybind11;

namespace kvpy {
namespace {

// ---- models --------------------------------------------------------------------------

int32_t modelNumber(const Engine& e, const py::handle& model) {
    if (py::isinstance<py::str>(model)) {
        const std::string name = model.cast<std::string>();
        const auto found = locked([&] { return kv::findModelByName(e.api, name); });
        if (!found)
            throw py::value_error("no model named \"" + name + "\" in the catalogue");
        return found->number;
    }
    // Any integer, NumPy's too; not a truth value.
    if (PyIndex_Check(model.ptr()) && !py::isinstance<py::bool_>(model)) {
        const py::int_ index = py::reinterpret_steal<py::int_>(PyNumber_Index(model.ptr()));
        int overflow = 0;
        const long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
        if (overflow != 0 || n < 1 || n > e.modelCount)
            throw py::value_error("no model number " +
                                  py::str(py::handle(index)).cast<std::string>() +
                                  " in the catalogue");
        return static_cast<int32_t>(n);
    }
    throw py::value_error("a model is its name (str) or its number (int)");
}

py::dict modelDict(const kv::ModelInfo& engineInfo, const std::vector<std::string>& fields) {
    const kv::ModelInfo m = kv::displayed(engineInfo);
    py::dict d;
    d["number"] = m.number;
    d["name"] = m.name;
    d["show_name"] = m.showName;
    d["refrigerant"] = m.refrigerant;
    d["family"] = m.family;
    d["technology"] = m.technology;
    d["voltage"] = m.voltage;
    py::dict f;
    for (std::size_t i = 0; i < kpx::kModelColumns.size(); ++i)
        f[py::str(std::string(kpx::kModelColumns[i]))] = kv::displayText(fields[i]);
    d["fields"] = f;
    return d;
}

// The code of a list entry named by its display text or bytes; 0 ("All") for none.
int32_t entryCode(const Engine& e, kv::CodeList list, const std::optional<std::string>& text,
                  const char* what) {
    if (!text || *text == kv::kAllItem)
        return 0;
    const auto entries = locked([&] { return kv::enumerateCodeList(e.api, list); });
    std::vector<std::string> shown;
    for (const kv::CodeEntry& c : entries) {
        if (c.text == *text || kv::displayText(c.text) == *text)
            return c.code;
        shown.push_back(kv::displayText(c.text));
    }
    std::string accepted;
    for (const auto& s : shown)
        accepted += (accepted.empty() ? "\"" : ", \"") + s + "\"";
    throw py::value_error("unknown " + std::string(what) + " \"" + *text +
                          "\"; accepted: " + accepted);
}

// ---- the command line's documents ----------------------------------------------------

// A number as the command line reads it back exactly: fixed notation, "." as decimal sign.
std::string numberArgument(double value) {
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return r.ec == std::errc{} ? std::string(buffer, r.ptr) : std::string("nan");
}

struct Arguments {
    std::vector<std::string> args;
    void text(const char* option, const std::string& value) {
        args.push_back(std::string(option) + "=" + value);
    }
    // The options whose value is given.
    void
    numbers(std::initializer_list<std::pair<const char*, const std::optional<double>*>> given) {
        for (const auto& [option, value] : given)
            if (*value)
                text(option, numberArgument(**value));
    }
};

// Runs a command of vantrix-cli on the bound engine and gives its JSON document.
py::object runCommand(const Engine& e, std::vector<std::string> args) {
    args.emplace_back("--format=json");
    const auto parsed = kvcli::parseArguments(args);
    if (const auto* u = std::get_if<kvcli::UsageError>(&parsed))
        throw py::value_error(u->message);
    const kvcli::CliOptions& o = std::get<kvcli::CliOptions>(parsed);
    const kv::NumberFormat format = kv::NumberFormat::english();
    const auto texts = kvcli::conditionTexts(o, format);
    if (const auto* u = std::get_if<kvcli::UsageError>(&texts))
        throw py::value_error(u->message);
    std::ostringstream out, err;
    const int status = locked([&] {
        return kvcli::runBound(o, e.api, e.directory, std::get<kv::ConditionTexts>(texts), format,
                               out, err);
    });
    if (status != kvcli::kExitOk) {
        // The message without the program's name and the hint at --help.
        std::string message = err.str();
        for (const std::string_view prefix : {"vantrix-cli: "})
            for (std::size_t at; (at = message.find(prefix)) != std::string::npos;)
                message.erase(at, prefix.size());
        if (const auto hint = message.find("\nTry 'vantrix-cli"); hint != std::string::npos)
            message.resize(hint);
        while (!message.empty() && message.back() == '\n')
            message.pop_back();
        if (status == kvcli::kExitUsage)
            throw py::value_error(message);
        raiseDataError(message);
    }
    return py::module_::import("json").attr("loads")(out.str());
}

void conditionArguments(Arguments& a, const std::string& conditions, const std::string& units,
                        const std::optional<double>& te, const std::optional<double>& tc,
                        const std::optional<double>& sc, const std::optional<double>& sh1,
                        const std::optional<double>& sh2) {
    a.text("--conditions", conditions);
    a.text("--units", units);
    a.numbers({{"--te", &te}, {"--tc", &tc}, {"--sc", &sc}, {"--sh1", &sh1}, {"--sh2", &sh2}});
}

// ---- the Python class ----------------------------------------------------------------

class Program {
public:
    explicit Program(const std::optional<std::string>& directory)
        : engine_(openEngine(directory)) {}

    const std::string& directory() const { return engine_->directory; }

    std::vector<std::string> codeList(kv::CodeList list) const {
        auto texts = locked([&] { return kv::codeListTexts(engine_->api, list); });
        for (auto& t : texts)
            t = kv::displayText(t);
        return texts;
    }

    std::vector<std::string> supplies(const std::optional<int>& frequency) const {
        if (!frequency)
            return codeList(kv::CodeList::Power);
        if (*frequency != 50 && *frequency != 60)
            throw py::value_error("the frequency is 50 or 60");
        auto items = locked([&] {
            return kv::voltageItems(engine_->api,
                                    *frequency == 50 ? kv::Frequency::Hz50 : kv::Frequency::Hz60);
        });
        items.erase(items.begin()); // "All"
        for (auto& t : items)
            t = kv::displayText(t);
        return items;
    }

    py::list models(const std::optional<std::string>& refrigerant,
                    const std::optional<std::string>& family,
                    const std::optional<std::string>& supply) const {
        const int32_t r =
            entryCode(*engine_, kv::CodeList::Refrigerant, refrigerant, "refrigerant");
        const int32_t f = entryCode(*engine_, kv::CodeList::Family, family, "family");
        const int32_t p = entryCode(*engine_, kv::CodeList::Power, supply, "supply");
        std::vector<std::pair<kv::ModelInfo, std::vector<std::string>>> found;
        locked([&] {
            kv::forEachModel(engine_->api, r, f, p, [&](int32_t n) {
                std::vector<std::string> fields;
                for (std::string_view column : kpx::kModelColumns)
                    fields.push_back(kv::modelData(engine_->api, n, std::string(column).c_str()));
                found.emplace_back(kv::modelInfo(engine_->api, n), std::move(fields));
                return true;
            });
        });
        py::list out;
        for (const auto& [info, fields] : found)
            out.append(modelDict(info, fields));
        return out;
    }

    // KPX_Rating of each model at every point; the models' axis first when a list is given.
    py::dict rate(const py::object& models, const py::object& te, const py::object& tc,
                  const py::object& sc, const py::object& sh1, const py::object& sh2,
                  const py::object& speed) const {
        std::vector<int32_t> numbers;
        const bool many = !py::isinstance<py::str>(models) && py::isinstance<py::sequence>(models);
        if (many)
            for (const py::handle m : models)
                numbers.push_back(modelNumber(*engine_, m));
        else
            numbers.push_back(modelNumber(*engine_, models));
        std::vector<std::pair<const char*, py::handle>> named = {
            {"te", te}, {"tc", tc}, {"sc", sc}, {"sh1", sh1}, {"sh2", sh2}};
        const bool atSpeed = !speed.is_none();
        if (atSpeed) {
            requireSpeeds();
            named.emplace_back("speed", speed);
        }
        const Inputs in(named);
        std::vector<py::ssize_t> shape = in.shape;
        if (many)
            shape.insert(shape.begin(), static_cast<py::ssize_t>(numbers.size()));
        py::array_t<double> capacity(shape), power(shape), current(shape), massFlow(shape),
            cop(shape);
        py::array_t<int32_t> code(shape);
        double* outs[] = {capacity.mutable_data(), power.mutable_data(), current.mutable_data(),
                          massFlow.mutable_data(), cop.mutable_data()};
        int32_t* codes = code.mutable_data();
        std::vector<const double*> columns;
        std::vector<bool> scalar;
        for (const Array& a : in.arrays) {
            columns.push_back(a.data());
            scalar.push_back(a.ndim() == 0);
        }
        const auto rating = engine_->api.KPX_Rating;
        const auto ratingAtSpeed = engine_->api.KPX_RatingAtSpeed;
        locked([&] {
            py::ssize_t k = 0;
            for (const int32_t model : numbers)
                for (py::ssize_t i = 0; i < in.size; ++i, ++k) {
                    double v[6];
                    for (std::size_t c = 0; c < columns.size(); ++c)
                        v[c] = columns[c][scalar[c] ? 0 : i];
                    codes[k] = atSpeed ? ratingAtSpeed(model, nullptr, nullptr, 0, v[5], v[0], v[1],
                                                       v[2], v[3], v[4], outs[0] + k, outs[1] + k,
                                                       outs[2] + k, outs[3] + k, outs[4] + k)
                                       : rating(model, nullptr, nullptr, 0, v[0], v[1], v[2], v[3],
                                                v[4], outs[0] + k, outs[1] + k, outs[2] + k,
                                                outs[3] + k, outs[4] + k);
                }
        });
        py::dict d;
        d["capacity"] = capacity;
        d["power"] = power;
        d["current"] = current;
        d["mass_flow"] = massFlow;
        d["cop"] = cop;
        d["code"] = code;
        return d;
    }

    // KPX_RatingFigures of one model at every point: the figures beyond the rating, in
    // engine units (Pa, degC, W, kg/s), with their flags, status and the rating's code.
    py::dict figures(const py::object& model, const py::object& te, const py::object& tc,
                     const py::object& sc, const py::object& sh1, const py::object& sh2) const {
        const int32_t number = modelNumber(*engine_, model);
        const auto rateFigures = engine_->api.KPX_RatingFigures;
        if (rateFigures == nullptr)
            raiseDataError("the engine library gives no figures beyond the rating");
        const Inputs in({{"te", te}, {"tc", tc}, {"sc", sc}, {"sh1", sh1}, {"sh2", sh2}});
        std::vector<KPX_Figures> got(static_cast<std::size_t>(in.size));
        std::vector<int32_t> codes(got.size());
        locked([&] {
            for (py::ssize_t i = 0; i < in.size; ++i) {
                const auto k = static_cast<std::size_t>(i);
                codes[k] = rateFigures(number, nullptr, nullptr, 0, in.at(0, i), in.at(1, i),
                                       in.at(2, i), in.at(3, i), in.at(4, i), &got[k]);
            }
        });
        py::dict d;
        const auto column = [&](const char* key, auto field) {
            py::array_t<std::remove_cvref_t<decltype(got[0].*field)>> a(in.shape);
            auto* out = a.mutable_data();
            for (std::size_t k = 0; k < got.size(); ++k)
                out[k] = got[k].*field;
            d[key] = a;
        };
        column("suction_pressure", &KPX_Figures::suctionPressure);
        column("discharge_pressure", &KPX_Figures::dischargePressure);
        column("pressure_ratio", &KPX_Figures::pressureRatio);
        column("suction_gas_temperature", &KPX_Figures::suctionGasTemperature);
        column("discharge_temperature", &KPX_Figures::dischargeTemperature);
        column("max_discharge_temperature", &KPX_Figures::maxDischargeTemperature);
        column("heat_rejection", &KPX_Figures::heatRejection);
        column("isentropic_efficiency", &KPX_Figures::isentropicEfficiency);
        column("volumetric_efficiency", &KPX_Figures::volumetricEfficiency);
        column("heating_capacity", &KPX_Figures::heatingCapacity);
        column("heating_cop", &KPX_Figures::heatingCop);
        column("flags", &KPX_Figures::flags);
        column("status", &KPX_Figures::status);
        py::array_t<int32_t> code(in.shape);
        std::copy(codes.begin(), codes.end(), code.mutable_data());
        d["code"] = code;
        return d;
    }

    // KPX_SpeedData: the speeds of a variable-speed model, None for a fixed-speed one; a
    // model whose speed sets are refused is a data problem, with the engine's reason.
    py::object speedData(const py::object& model) const {
        requireSpeeds();
        const int32_t number = modelNumber(*engine_, model);
        KPX_SpeedInfo info{};
        kpx::TextBuffer text;
        const int32_t code = locked([&] {
            return engine_->api.KPX_SpeedData(number, nullptr, nullptr, 0, &info, text.address());
        });
        if (code == KPX_FIXED_SPEED)
            return py::none();
        if (code != KPX_CLEAN)
            raiseDataError(text.text().empty() ? "the model's speed sets are refused (code " +
                                                     std::to_string(code) + ")"
                                               : kv::displayText(text.text()));
        py::dict d;
        d["nominal_speed"] = info.nominalSpeed;
        d["min_speed"] = info.minSpeed;
        d["max_speed"] = info.maxSpeed;
        d["speeds"] = std::vector<double>(info.speeds, info.speeds + info.setCount);
        return d;
    }

    // KPX_SpeedRange at every point: arrays min_speed, max_speed (rev/s; NaN where none)
    // and code.
    py::dict speedRange(const py::object& model, const py::object& te, const py::object& tc,
                        const py::object& sc, const py::object& sh1, const py::object& sh2) const {
        requireSpeeds();
        const int32_t number = modelNumber(*engine_, model);
        const Inputs in({{"te", te}, {"tc", tc}, {"sc", sc}, {"sh1", sh1}, {"sh2", sh2}});
        py::array_t<double> low(in.shape), high(in.shape);
        py::array_t<int32_t> code(in.shape);
        double *lo = low.mutable_data(), *hi = high.mutable_data();
        int32_t* codes = code.mutable_data();
        locked([&] {
            for (py::ssize_t i = 0; i < in.size; ++i) {
                codes[i] = engine_->api.KPX_SpeedRange(number, nullptr, nullptr, 0, in.at(0, i),
                                                       in.at(1, i), in.at(2, i), in.at(3, i),
                                                       in.at(4, i), lo + i, hi + i);
                if (codes[i] != KPX_CLEAN)
                    lo[i] = hi[i] = std::numeric_limits<double>::quiet_NaN();
            }
        });
        py::dict d;
        d["min_speed"] = low;
        d["max_speed"] = high;
        d["code"] = code;
        return d;
    }

    // KPX_MatchCapacity at every point: the speed that meets the capacity (W) and the rating
    // there, as arrays; NaN and the engine's code where no allowed speed does.
    py::dict matchCapacity(const py::object& model, const py::object& capacity,
                           const py::object& te, const py::object& tc, const py::object& sc,
                           const py::object& sh1, const py::object& sh2) const {
        requireSpeeds();
        const int32_t number = modelNumber(*engine_, model);
        const Inputs in({{"capacity", capacity},
                         {"te", te},
                         {"tc", tc},
                         {"sc", sc},
                         {"sh1", sh1},
                         {"sh2", sh2}});
        const char* keys[] = {"speed", "capacity", "power", "current", "mass_flow", "cop"};
        std::vector<py::array_t<double>> outs;
        std::vector<double*> at;
        for (std::size_t k = 0; k < 6; ++k) {
            outs.emplace_back(in.shape);
            at.push_back(outs.back().mutable_data());
        }
        py::array_t<int32_t> code(in.shape);
        int32_t* codes = code.mutable_data();
        locked([&] {
            for (py::ssize_t i = 0; i < in.size; ++i) {
                codes[i] = engine_->api.KPX_MatchCapacity(
                    number, nullptr, nullptr, 0, in.at(0, i), in.at(1, i), in.at(2, i), in.at(3, i),
                    in.at(4, i), in.at(5, i), at[0] + i, at[1] + i, at[2] + i, at[3] + i, at[4] + i,
                    at[5] + i);
                if (codes[i] < 0)
                    at[0][i] = std::numeric_limits<double>::quiet_NaN();
            }
        });
        py::dict d;
        for (std::size_t k = 0; k < 6; ++k)
            d[keys[k]] = outs[k];
        d["code"] = code;
        return d;
    }

    py::object select(const std::string& refrigerant, const std::string& family,
                      const std::string& voltage, int frequency, const std::string& conditions,
                      const std::optional<double>& te, const std::optional<double>& tc,
                      const std::optional<double>& sc, const std::optional<double>& sh1,
                      const std::optional<double>& sh2, const std::string& units,
                      const std::string& filter, const std::optional<double>& target,
                      const std::string& order, const std::optional<double>& speed,
                      const std::optional<double>& matchCapacity) const {
        Arguments a{{"rate"}};
        a.text("--refrigerant", refrigerant);
        a.text("--family", family);
        a.text("--voltage", voltage);
        a.text("--frequency", std::to_string(frequency));
        conditionArguments(a, conditions, units, te, tc, sc, sh1, sh2);
        a.text("--filter", filter);
        a.numbers(
            {{"--target", &target}, {"--speed", &speed}, {"--match-capacity", &matchCapacity}});
        a.text("--order", order);
        return runCommand(*engine_, a.args);
    }

    py::object envelope(const std::string& model, const std::string& conditions,
                        const std::optional<double>& te, const std::optional<double>& tc,
                        const std::optional<double>& sc, const std::optional<double>& sh1,
                        const std::optional<double>& sh2, const std::string& units) const {
        Arguments a{{"envelope"}};
        a.text("--model", model);
        conditionArguments(a, conditions, units, te, tc, sc, sh1, sh2);
        return runCommand(*engine_, a.args);
    }

    py::object table(const std::string& model, const std::string& conditions,
                     const std::optional<double>& te, const std::optional<double>& tc,
                     const std::optional<double>& sc, const std::optional<double>& sh1,
                     const std::optional<double>& sh2, const std::string& units,
                     const std::optional<double>& teFrom, const std::optional<double>& teTo,
                     const std::optional<double>& teStep, const std::optional<double>& tcFrom,
                     const std::optional<double>& tcTo, const std::optional<double>& tcStep,
                     bool speeds) const {
        Arguments a{{"table"}};
        if (speeds)
            a.args.emplace_back("--speeds");
        a.text("--model", model);
        conditionArguments(a, conditions, units, te, tc, sc, sh1, sh2);
        a.numbers({{"--te-from", &teFrom},
                   {"--te-to", &teTo},
                   {"--te-step", &teStep},
                   {"--tc-from", &tcFrom},
                   {"--tc-to", &tcTo},
                   {"--tc-step", &tcStep}});
        return runCommand(*engine_, a.args);
    }

    // A property function over arrays: NaN where the library gives no value at a point;
    // an unknown refrigerant is a usage error, a fluid file that can't be used a data one.
    template <class Call>
    py::object property(const std::string& refrigerant,
                        const std::vector<std::pair<const char*, py::handle>>& named,
                        Call call) const {
        const Inputs in(named);
        py::array_t<double> result(in.shape);
        double* out = result.mutable_data();
        int32_t failure = 0;
        {
            py::gil_scoped_release release;
            for (py::ssize_t i = 0; i < in.size; ++i) {
                const int32_t s = call(refrigerant.c_str(), in, i, out + i);
                if (s == 1 || s == 2 || s == 3) {
                    failure = s;
                    break;
                }
            }
        }
        if (failure == 1)
            throw py::value_error("unknown refrigerant \"" + refrigerant + "\"");
        if (failure != 0)
            raiseDataError("the property library can't use the fluid file of \"" + refrigerant +
                           "\" in " + engine_->directory + "/data/fluids");
        if (in.shape.empty())
            return py::float_(out[0]);
        return result;
    }

    const Engine& engine() const { return *engine_; }

private:
    void requireSpeeds() const {
        if (!engine_->api.hasSpeeds())
            raiseDataError("the engine library rates no variable-speed models");
    }

    std::shared_ptr<const Engine> engine_;
};

// The property functions as methods: of one state variable (T or p), or of T and p.
template <class Fn>
void defProperty(py::class_<Program>& c, const char* name, Fn PropertyApi::*fn, const char* x,
                 const char* doc) {
    c.def(
        name,
        [fn, x](const Program& p, const std::string& r, const py::object& v) {
            const Fn f = p.engine().properties.*fn;
            return p.property(r, {{x, v}},
                              [f](const char* fluid, const Inputs& in, py::ssize_t i, double* out) {
                                  return f(fluid, in.at(0, i), out);
                              });
        },
        py::arg("refrigerant"), py::arg(x), doc);
}

template <class Fn>
void defProperty(py::class_<Program>& c, const char* name, Fn PropertyApi::*fn, const char* x,
                 const char* y, const char* doc) {
    c.def(
        name,
        [fn, x, y](const Program& p, const std::string& r, const py::object& u,
                   const py::object& v) {
            const Fn f = p.engine().properties.*fn;
            return p.property(r, {{x, u}, {y, v}},
                              [f](const char* fluid, const Inputs& in, py::ssize_t i, double* out) {
                                  return f(fluid, in.at(0, i), in.at(1, i), out);
                              });
        },
        py::arg("refrigerant"), py::arg(x), py::arg(y), doc);
}

} // namespace
} // namespace kvpy

PYBIND11_MODULE(korvane_vantrix, m) {
    using namespace kvpy;
    using py::arg;
    m.doc() = "Korvane Vantrix: rate refrigeration compressors of the catalogue, select them "
              "as the window does, and refrigerant properties.";
    static py::exception<std::runtime_error> error(m, "DataError");
    dataError = error;
    m.attr("DataError").attr("__doc__") =
        "A data problem: a damaged program directory, a library that can't be bound, a fluid "
        "file that can't be used.";

    py::list conditions;
    for (const kv::ConditionPreset& p : kv::kStandardConditions) {
        py::dict d;
        d["name"] = std::string(p.name);
        const char* keys[] = {"te", "tc", "sc", "sh1", "sh2"};
        for (std::size_t i = 0; i < 5; ++i)
            d[keys[i]] = kv::GetDoubleField(p.siTexts[i], kv::NumberFormat::english());
        conditions.append(d);
    }
    m.attr("CONDITIONS") = conditions;

    const auto none = py::none();
    py::class_<Program> program(
        m, "Program",
        "A program directory: its libraries, catalogue and fluid files. One "
        "directory per process; Program() opens the installed one (or, in the "
        "build tree, build/bin).");
    program.def(py::init<const std::optional<std::string>&>(), arg("directory") = none)
        .def_property_readonly("directory", &Program::directory)
        .def("refrigerants", [](const Program& p) { return p.codeList(kv::CodeList::Refrigerant); })
        .def("families", [](const Program& p) { return p.codeList(kv::CodeList::Family); })
        .def("supplies", &Program::supplies, arg("frequency") = none,
             "The power supplies; with 50 or 60 those of that frequency, as list voltages.")
        .def("models", &Program::models, arg("refrigerant") = none, arg("family") = none,
             arg("supply") = none, "The models matching the list texts, with their fields.")
        .def("rate", &Program::rate, arg("model"), arg("te"), arg("tc"), arg("sc") = 0.0,
             arg("sh1") = 10.0, arg("sh2") = 10.0, arg("speed") = none,
             "KPX_Rating of a model (name or number) or a list of models at arrays of "
             "conditions (°C, K): arrays capacity (W), power (W), current (A), mass_flow "
             "(kg/s), cop and code. With speed (rev/s, a number or an array), "
             "KPX_RatingAtSpeed: variable-speed models at that speed.")
        .def("speed_data", &Program::speedData, arg("model"),
             "A variable-speed model's nominal_speed, min_speed, max_speed and published "
             "speeds (rev/s); None for a fixed-speed model.")
        .def("speed_range", &Program::speedRange, arg("model"), arg("te"), arg("tc"),
             arg("sc") = 0.0, arg("sh1") = 10.0, arg("sh2") = 10.0,
             "KPX_SpeedRange: the speeds (rev/s) at which each point lies within the "
             "envelope, arrays min_speed, max_speed and code.")
        .def("match_capacity", &Program::matchCapacity, arg("model"), arg("capacity"), arg("te"),
             arg("tc"), arg("sc") = 0.0, arg("sh1") = 10.0, arg("sh2") = 10.0,
             "KPX_MatchCapacity: the lowest allowed speed (rev/s) at which the model gives "
             "the capacity (W), with the rating there; arrays speed, capacity, power, current, "
             "mass_flow, cop and code.")
        .def("figures", &Program::figures, arg("model"), arg("te"), arg("tc"), arg("sc") = 0.0,
             arg("sh1") = 10.0, arg("sh2") = 10.0,
             "KPX_RatingFigures of a model at arrays of conditions: suction and discharge "
             "pressure (Pa), pressure ratio, suction gas and discharge temperature (°C), heat "
             "rejection and heating capacity (W), isentropic and volumetric efficiency, heating "
             "COP (NaN where there is no figure), flags, status and code.")
        .def("select", &Program::select, arg("refrigerant") = "All", arg("family") = "All",
             arg("voltage") = "All", arg("frequency") = 50,
             arg("conditions") = std::string(kv::kDefaultCondition), arg("te") = none,
             arg("tc") = none, arg("sc") = none, arg("sh1") = none, arg("sh2") = none,
             arg("units") = "si", arg("filter") = "", arg("target") = none, arg("order") = "name",
             arg("speed") = none, arg("match_capacity") = none,
             "The selection of the window, as vantrix-cli rate --format json gives it "
             "(with --speed or --match-capacity where given).")
        .def("envelope", &Program::envelope, arg("model"),
             arg("conditions") = std::string(kv::kDefaultCondition), arg("te") = none,
             arg("tc") = none, arg("sc") = none, arg("sh1") = none, arg("sh2") = none,
             arg("units") = "si", "The envelope polygons, as vantrix-cli envelope --format json.")
        .def("table", &Program::table, arg("model"),
             arg("conditions") = std::string(kv::kDefaultCondition), arg("te") = none,
             arg("tc") = none, arg("sc") = none, arg("sh1") = none, arg("sh2") = none,
             arg("units") = "si", arg("te_from") = none, arg("te_to") = none, arg("te_step") = none,
             arg("tc_from") = none, arg("tc_to") = none, arg("tc_step") = none,
             arg("speeds") = false,
             "The performance table, as vantrix-cli table --format json (with speeds=True, "
             "a variable-speed model's figures against speed, as table --speeds).");
    defProperty(program, "saturation_pressure", &PropertyApi::saturationPressure, "T",
                "Dew pressure (Pa) at T (K).");
    defProperty(program, "bubble_temperature", &PropertyApi::bubbleTemperature, "p",
                "Bubble temperature (K) at p (Pa).");
    defProperty(program, "liquid_enthalpy", &PropertyApi::liquidEnthalpy, "T",
                "Saturated liquid enthalpy (J/kg) at T (K).");
    defProperty(program, "vapour_enthalpy", &PropertyApi::vapourEnthalpy, "T", "p",
                "Vapour enthalpy (J/kg) at T (K), p (Pa).");
    defProperty(program, "vapour_volume", &PropertyApi::vapourVolume, "T", "p",
                "Vapour specific volume (m3/kg) at T (K), p (Pa).");
}
