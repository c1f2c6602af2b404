#include "test_catalogue.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace kv {

TestModel namedModel(const std::string& name, double capacity, const std::string& dllp) {
    TestModel m;
    m.showName = name;
    m.capacity = capacity;
    m.dllp = dllp;
    return m;
}

namespace {

std::string num(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// Envelope wide open around the preset points: no refusal and no warning for
// Te -60..30 °C, Tc 0..80 °C, Sc up to 20 K, superheats up to 40 K.
const std::vector<std::pair<std::string, std::string>>& baseColumns() {
    static const std::vector<std::pair<std::string, std::string>> cols = [] {
        std::vector<std::pair<std::string, std::string>> c{
            {"Frequency", "50"}, {"ScBase", "0"},  {"ShBase", "10"}, {"RgtBase", "-"},
            {"TeLow", "-60"},    {"TeHig", "30"},  {"TcLow", "0"},   {"TcHig", "80"},
            {"TeMin", "-60"},    {"TeMax", "30"},  {"TcMin", "0"},   {"TcMax", "80"},
            {"ShMax", "40"},     {"RgtMax", "90"}, {"ShTol", "0"},   {"ScMax", "20"},
            {"TcTol", "0"},      {"K1e", "0"},     {"K1c", "0"},     {"K2e", "0"},
            {"K2c", "0"},        {"ShF", "10"},    {"ShH", "20"},    {"RgtH", "-"},
            {"F0e", "-60"},      {"F0c", "200"},   {"F1e", "40"},    {"F1c", "200"},
            {"H0e", "-60"},      {"H0c", "200"},   {"H1e", "40"},    {"H1c", "200"}};
        for (int n = 2; n <= 6; ++n) {
            c.push_back({"F" + std::to_string(n) + "e", "-"});
            c.push_back({"F" + std::to_string(n) + "c", "-"});
        }
        for (int n = 2; n <= 4; ++n) {
            c.push_back({"H" + std::to_string(n) + "e", "-"});
            c.push_back({"H" + std::to_string(n) + "c", "-"});
        }
        return c;
    }();
    return cols;
}

} // namespace

std::vector<CodeLine> defaultCodes() {
    return {{"DLLR", 1, "R134a"},
            {"DLLR", 2, "R404A"},
            {"DLLF", 1, "Scroll ZB"},
            {"DLLF", 4, "Recip"},
            {"DLLP", 1, "208-230V 1ph 60Hz"},
            {"DLLP", 2, "460V 3ph 60Hz"},
            {"DLLP", 3, "200-230V 3ph 60Hz"},
            {"DLLP", 4, "400V 3ph 50Hz"},
            {"DLLP", 5, "230V 1ph 50Hz"},
            {"DLLP", 6, "230V 3ph 50Hz"},
            {"DLLP", 7, "500V 3ph 50Hz"},
            {"DLLP", 8, "575V 3ph 60Hz"},
            {"DLLP", 9, "380V 3ph 60Hz"},
            {"DLLP", 10, "Special 50Hz/60Hz"}};
}

std::string codesFile(const std::vector<CodeLine>& lines) {
    std::string out = "List\tNumber\tText\n";
    for (const auto& l : lines)
        out += l.list + "\t" + std::to_string(l.number) + "\t" + l.text + "\n";
    return out;
}

std::string modelsFile(const std::vector<TestModel>& models) {
    std::vector<std::string> names{"ShowName", "Name", "Refrigerant", "DLLR", "DLLF", "DLLP"};
    for (const auto& [k, v] : baseColumns())
        names.push_back(k);
    for (const char set : {'Q', 'P', 'A', 'M'})
        for (int i = 0; i <= 9; ++i)
            names.push_back(std::string(1, set) + std::to_string(i));
    // Columns that only overrides name (the optional ones) follow, in the order met.
    for (const auto& m : models)
        for (const auto& [k, v] : m.overrides)
            if (std::find(names.begin(), names.end(), k) == names.end())
                names.push_back(k);

    std::string out;
    for (const auto& n : names)
        out += n + "\t";
    out += "\n";
    for (const auto& m : models) {
        std::map<std::string, std::string> fields{{"ShowName", m.showName},
                                                  {"Name", m.name.empty() ? m.showName : m.name},
                                                  {"Refrigerant", m.refrigerant},
                                                  {"DLLR", m.dllr},
                                                  {"DLLF", m.dllf},
                                                  {"DLLP", m.dllp}};
        for (const auto& [k, v] : baseColumns())
            fields[k] = v;
        for (const char set : {'Q', 'P', 'A', 'M'})
            for (int i = 0; i <= 9; ++i)
                fields[std::string(1, set) + std::to_string(i)] = "0";
        fields["Q0"] = num(m.capacity);
        fields["P0"] = num(m.power);
        fields["A0"] = num(m.current);
        fields["M0"] = num(m.massFlow);
        for (const auto& [k, v] : m.overrides)
            fields[k] = v;
        for (const auto& n : names)
            out += fields[n] + "\t";
        out += "\n";
    }
    return out;
}

std::vector<TestModel> manyModels(int count) {
    std::vector<TestModel> models;
    for (int i = 0; i < count; ++i) {
        TestModel m;
        char name[32];
        std::snprintf(name, sizeof name, "BM-%04d", (i * 7919) % count);
        m.showName = name;
        m.capacity = 500.0 + 13.7 * i;
        m.refrigerant = i % 2 == 0 ? "R134a" : "R404A";
        m.dllr = i % 2 == 0 ? "1" : "2";
        models.push_back(std::move(m));
    }
    return models;
}

std::vector<TestModel> figureModels() {
    TestModel estimated = namedModel("FIG-E", 1000), own = namedModel("FIG-C", 2000);
    own.overrides = {{"Displacement", "20"}, {"Speed", "2900"}, {"TdMax", "80"}, {"Td0", "95"}};
    for (int i = 1; i <= 9; ++i)
        own.overrides["Td" + std::to_string(i)] = "0";
    return {estimated, own};
}

// The first row of the public transcritical curves (J/kg and Pa).
static const char* const kQ[] = {"6.126e-05",   "-0.0033564",  "6.1461",  "0.0095107",
                                 "0.031467",    "-3.6337e-05", "0.23406", "0.00010693",
                                 "-7.9936e-08", "5.5138e-11"};
static const char* const kP[] = {"9.6322e-14",  "4.4874e-08", "2.7964e-07",  "1.409e-10",
                                 "-6.2129e-05", "6.6629e-10", "-1.4278e-09", "-8.482e-07",
                                 "7.2268e-12",  "-3.7658e-17"};

std::vector<TestModel> carbonDioxideModels() {
    TestModel a = namedModel("CO2-A"), low = namedModel("CO2-LOW"), none = namedModel("CO2-NONE");
    for (TestModel* m : {&a, &low, &none})
        m->refrigerant = "R744";
    for (TestModel* m : {&a, &low}) {
        for (int i = 0; i < 10; ++i) {
            m->overrides["GcQ" + std::to_string(i)] = kQ[i];
            m->overrides["GcP" + std::to_string(i)] = kP[i];
        }
        m->overrides.insert({{"GcShBase", "10"},
                             {"GcTeLow", "-20"},
                             {"GcTeHig", "0"},
                             {"GcPLow", "7500000"},
                             {"GcPHig", "10000000"},
                             {"GcHLow", "291650"},
                             {"GcHHig", "313040"}});
    }
    low.overrides["GcPLow"] = "6000000";
    return {a, low, none};
}

} // namespace kv
