#include "engine_handle.h"

#include <kpx_calc.h>
#include <kpx_text_buffer.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kvcat {

Engine::Engine(const std::string& codes, const std::string& models, const std::string& speeds)
    : dir_(codes, models) {
    if (!speeds.empty())
        dir_.write("data/kpxspeed.bin", speeds);
    const kv::BindResult bound = kv::bindLibraries(dir_.path().string());
    if (!bound.ok)
        throw std::runtime_error("can't load the engine: " + bound.message);
    api_ = bound.api;
    kv::initializeEngine(api_, dir_.path().string());
}

std::vector<kv::CodeEntry> Engine::codeList(const std::string& list) const {
    return kv::enumerateCodeList(api_, list == "DLLR"   ? kv::CodeList::Refrigerant
                                       : list == "DLLF" ? kv::CodeList::Family
                                                        : kv::CodeList::Power);
}

std::vector<int32_t> Engine::models(int32_t refrigerant, int32_t family, int32_t power) const {
    std::vector<int32_t> out;
    int32_t start = 0;
    for (;;) {
        kpx::TextBuffer text;
        int32_t next = 0;
        if (api_.KPX_GetModel(start, refrigerant, family, power, &next, text.address()) != 0 ||
            next == 0)
            break;
        out.push_back(next);
        start = next;
    }
    return out;
}

std::string Engine::field(int32_t model, const std::string& column) const {
    kpx::TextBuffer text;
    api_.KPX_GetModelData(model, column.c_str(), text.address());
    return text.text();
}

double Engine::number(int32_t model, const std::string& column) const {
    const std::string text = field(model, column);
    return text.empty() || text == "-" ? -999999.0 : std::strtod(text.c_str(), nullptr);
}

Rating Engine::rate(int32_t model, double te, double tc, double sc, double sh1, double sh2) const {
    Rating r;
    r.code = api_.KPX_Rating(model, "", "", 0, te, tc, sc, sh1, sh2, &r.capacity, &r.power,
                             &r.current, &r.massFlow, &r.cop);
    return r;
}

KPX_TranscriticalResult Engine::rateTranscritical(int32_t model, double te, double pgc, double tgc,
                                                  double sh1, double sh2) const {
    KPX_TranscriticalResult r{};
    r.code = api_.KPX_RatingTranscritical(model, "", "", 0, te, pgc, tgc, sh1, sh2, NAN, &r);
    return r;
}

KPX_TranscriticalResult Engine::optimum(int32_t model, double te, double tgc, double sh1,
                                        double sh2) const {
    KPX_TranscriticalResult r{};
    r.code = api_.KPX_OptimumGasCoolerPressure(model, "", "", 0, te, tgc, sh1, sh2, NAN, &r);
    return r;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("can't read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace kvcat
