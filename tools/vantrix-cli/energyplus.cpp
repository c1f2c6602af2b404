#include "kvcli/energyplus.h"

#include "kv/calcrun.h"
#include "kv/displaytext.h"
#include "kv/speedrating.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>
#include <vector>

namespace kvcli {
namespace {

// A catalogue field as the engine reads it: the leading decimal number, nothing for an
// empty text or "-". Locale-independent, correctly rounded.
std::optional<double> fieldValue(const std::string& text) {
    std::string_view t = text;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    if (t.empty() || t == "-")
        return std::nullopt;
    if (t.front() == '+')
        t.remove_prefix(1);
    double value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    if (r.ec != std::errc{} || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The shortest text that reads back as the same double.
std::string number(double value) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

// An IDF name: the characters that end a field, an object or start a comment, and
// control characters, become "_".
std::string idfName(const std::string& text) {
    std::string out;
    for (const char c : text)
        out += (c == ',' || c == ';' || c == '!' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    return out;
}

struct Field {
    std::string value, comment;
};

// One object, a field a line with its "!-" comment, the layout of the dataset.
std::string object(const std::string& type, const std::vector<Field>& fields) {
    std::string out = "  " + type + ",\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::string line = "    " + fields[i].value + (i + 1 == fields.size() ? ";" : ",");
        if (line.size() < 30)
            line.resize(30, ' ');
        out += line + " !- " + fields[i].comment + "\n";
    }
    return out;
}

} // namespace

std::variant<std::string, ExportProblem> energyPlusCompressor(const kv::EngineApi& api,
                                                              const kv::ModelInfo& model) {
    const kv::ModelInfo shown = kv::displayed(model);
    const auto value = [&](const std::string& column) {
        return fieldValue(kv::modelData(api, model.number, column.c_str()));
    };
    const auto text = [](const std::optional<double>& v) { return v ? number(*v) : std::string(); };

    struct Curve {
        char prefix;
        const char* suffix;
        const char* output;
        std::array<double, 10> c{};
    };
    Curve curves[] = {{'Q', "qcurv", "Capacity", {}}, {'P', "pwrcurv", "Power", {}}};
    for (Curve& curve : curves)
        for (std::size_t i = 0; i < 10; ++i) {
            const std::string column = curve.prefix + std::to_string(kBicubicFromCatalogue[i]);
            const auto v = value(column);
            if (!v)
                return ExportProblem{"the catalogue gives no " + column + " for " + shown.name +
                                     ": its curve can't be written"};
            curve.c[i] = *v;
        }
    const auto shBase = value("ShBase"), rgtBase = value("RgtBase"), scBase = value("ScBase");
    if ((!shBase && !rgtBase) || !scBase)
        return ExportProblem{"the catalogue gives no rating basis (ShBase or RgtBase, and "
                             "ScBase) for " +
                             shown.name};
    const auto teLow = value("TeLow"), teHig = value("TeHig"), tcLow = value("TcLow"),
               tcHig = value("TcHig");

    const std::string name = idfName(shown.name + "_" + shown.refrigerant);
    std::string out;
    out += "! " + shown.name + ", " + shown.refrigerant + ", " + shown.voltage + " (" +
           shown.family + "), exported by vantrix-cli.\n";
    out += "! Curves: x = saturated suction and y = saturated discharge temperature (dew points, "
           "C), z in W;\n";
    out += "! the capacity curve holds at the rated superheat (or return gas temperature) and "
           "subcooling below.\n";
    out += "! Left out, as the form holds none of them: the envelope beyond its Te and Tc "
           "rectangle,\n! the current and mass-flow polynomials, the power supply and the "
           "refrigerant (" +
           shown.refrigerant + ": the refrigeration system gives it).\n";
    // A variable-speed model: the form has one speed; its nominal set is the one written.
    if (const auto speeds = kv::speedInfo(api, model.number))
        out += "! A variable-speed model: the curves are its set at the nominal speed, " +
               kv::plainNumber(speeds->nominalSpeed, 3) + " rev/s; its " +
               std::to_string(speeds->setCount) + " sets from " +
               kv::plainNumber(speeds->minSpeed, 3) + " to " +
               kv::plainNumber(speeds->maxSpeed, 3) + " rev/s are left out.\n";
    static const char* terms[] = {"Constant", "x",    "x**2", "y",      "y**2",
                                  "x*y",      "x**3", "y**3", "x**2*y", "x*y**2"};
    for (const Curve& curve : curves) {
        std::vector<Field> f{{name + "_" + curve.suffix, "Name"}};
        for (std::size_t i = 0; i < 10; ++i)
            f.push_back(
                {number(curve.c[i]), "Coefficient" + std::to_string(i + 1) + " " + terms[i]});
        f.push_back({text(teLow), "Minimum Value of x"});
        f.push_back({text(teHig), "Maximum Value of x"});
        f.push_back({text(tcLow), "Minimum Value of y"});
        f.push_back({text(tcHig), "Maximum Value of y"});
        f.push_back({"", "Minimum Curve Output"});
        f.push_back({"", "Maximum Curve Output"});
        f.push_back({"Temperature", "Input Unit Type for X"});
        f.push_back({"Temperature", "Input Unit Type for Y"});
        f.push_back({curve.output, "Output Unit Type"});
        out += "\n" + object("Curve:Bicubic", f);
    }
    // The catalogue's basis is the form's: superheat or return gas temperature, and
    // subcooling; the curves need no conversion.
    out += "\n" + object("Refrigeration:Compressor",
                         {{name, "Name"},
                          {name + "_pwrcurv", "Refrigeration Compressor Power Curve Name"},
                          {name + "_qcurv", "Refrigeration Compressor Capacity Curve Name"},
                          {shBase ? number(*shBase) : "", "Rated Superheat {deltaC}"},
                          {shBase ? "" : number(*rgtBase), "Rated Return Gas Temperature {C}"},
                          {"", "Rated Liquid Temperature {C}"},
                          {number(*scBase), "Rated Subcooling {deltaC}"},
                          {"General", "End-Use Subcategory"},
                          {"Subcritical", "Mode of Operation"}});
    return out;
}

} // namespace kvcli
