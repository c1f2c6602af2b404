#include "engine_handle.h"

#include <kpx_calc.h>
#include <kpx_text_buffer.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kvcat {

struct Engine::Api {
    decltype(&KPX_Initialize) initialize;
    decltype(&KPX_GetRefrigerant) getRefrigerant;
    decltype(&KPX_GetFamily) getFamily;
    decltype(&KPX_GetPower) getPower;
    decltype(&KPX_GetModel) getModel;
    decltype(&KPX_GetModelData) getModelData;
    decltype(&KPX_Rating) rating;
};

namespace {
template <class F> void bind(void* handle, const char* name, F& f) {
    void* sym = dlsym(handle, name);
    if (sym == nullptr)
        throw std::runtime_error(std::string("missing export ") + name);
    f = reinterpret_cast<F>(sym);
}
} // namespace

Engine::Engine(const std::string& codes, const std::string& models)
    : dir_(codes, models), api_(std::make_unique<Api>()) {
    const std::string lib = (dir_.path() / "libKPX_Calc.so").string();
    handle_ = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr)
        throw std::runtime_error(std::string("can't load the engine: ") + dlerror());
    bind(handle_, "KPX_Initialize", api_->initialize);
    bind(handle_, "KPX_GetRefrigerant", api_->getRefrigerant);
    bind(handle_, "KPX_GetFamily", api_->getFamily);
    bind(handle_, "KPX_GetPower", api_->getPower);
    bind(handle_, "KPX_GetModel", api_->getModel);
    bind(handle_, "KPX_GetModelData", api_->getModelData);
    bind(handle_, "KPX_Rating", api_->rating);
    api_->initialize((dir_.path().string() + "/data/").c_str());
}

Engine::~Engine() {
    if (handle_ != nullptr)
        dlclose(handle_);
}

std::vector<std::pair<int32_t, std::string>> Engine::codeList(const std::string& list) const {
    auto f = list == "DLLR"   ? api_->getRefrigerant
             : list == "DLLF" ? api_->getFamily
                              : api_->getPower;
    std::vector<std::pair<int32_t, std::string>> out;
    int32_t index = 0;
    for (int guard = 0; guard < 10000; ++guard) {
        kpx::TextBuffer text;
        int32_t next = 0;
        f(index, &next, text.address());
        if (next == 0)
            break;
        out.emplace_back(next, text.text());
        index = next;
    }
    return out;
}

std::vector<int32_t> Engine::models(int32_t refrigerant, int32_t family, int32_t power) const {
    std::vector<int32_t> out;
    int32_t start = 0;
    for (;;) {
        kpx::TextBuffer text;
        int32_t next = 0;
        if (api_->getModel(start, refrigerant, family, power, &next, text.address()) != 0 ||
            next == 0)
            break;
        out.push_back(next);
        start = next;
    }
    return out;
}

std::string Engine::field(int32_t model, const std::string& column) const {
    kpx::TextBuffer text;
    api_->getModelData(model, column.c_str(), text.address());
    return text.text();
}

double Engine::number(int32_t model, const std::string& column) const {
    const std::string text = field(model, column);
    return text.empty() || text == "-" ? -999999.0 : std::strtod(text.c_str(), nullptr);
}

Rating Engine::rate(int32_t model, double te, double tc, double sc, double sh1, double sh2) const {
    Rating r;
    r.code = api_->rating(model, "", "", 0, te, tc, sc, sh1, sh2, &r.capacity, &r.power, &r.current,
                          &r.massFlow, &r.cop);
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
