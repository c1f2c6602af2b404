// The C interface of libASEREP32.so over the fluid library.
//
// The only process-wide state is the current data directory with its fluid library.
// A call that fails leaves it as it was; property calls only read it.
#include "asere32.h"

#include "asere/fluid.h"
#include "asere/isobar.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using asere::Fluid;
using asere::FluidLibrary;
using asere::Status;

constexpr int16_t kRevision = 2;
constexpr const char* kRevisionText =
    "ASEREP32 revision 2: refrigerant properties from Helmholtz-energy equations of state; "
    "blends of pure fluids on a multi-fluid mixture model";

struct Current {
    std::mutex mutex;
    std::string directory;
    std::shared_ptr<const FluidLibrary> library;
    bool found = false; // the fluids directory was there when last looked for
    std::atomic<std::uint64_t> generation{1};
};

#ifdef _WIN32
// Windows: the directory is an 8-bit text in the ANSI code page, as every "A" function of
// the system reads it, ending in "\" or "/".
bool endsWithSeparator(const std::string& dir) {
    return !dir.empty() && (dir.back() == '\\' || dir.back() == '/');
}

std::filesystem::path fluidsDirectory(const std::string& dir) {
    std::wstring wide;
    const int size = static_cast<int>(dir.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, dir.data(), size, nullptr, 0);
    wide.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, dir.data(), size, wide.data(), n);
    return std::filesystem::path(wide + L"fluids\\");
}
#else
bool endsWithSeparator(const std::string& dir) {
    return !dir.empty() && dir.back() == '/';
}

std::filesystem::path fluidsDirectory(const std::string& dir) {
    return dir + "fluids/";
}
#endif

Current& current() {
    static Current c;
    return c;
}

// The fluid for a name, with a one-entry memory per thread so that a rating's calls
// for one refrigerant skip the lookup. It is keyed by the directory's generation, so a
// new directory is never answered from the old one.
struct LastFluid {
    std::uint64_t generation = 0;
    std::string name;
    std::shared_ptr<const Fluid> fluid;
};
thread_local LastFluid lastFluid;

// The fluid is lent from the thread's memory, which holds it until this thread asks for
// another: no reference count changes hands on the way of a rating's calls.
Status findFluid(const char* name, const Fluid*& out) {
    Current& c = current();
    const std::uint64_t gen = c.generation.load(std::memory_order_acquire);
    if (lastFluid.fluid && lastFluid.generation == gen && lastFluid.name == name) {
        out = lastFluid.fluid.get();
        return Status::Ok;
    }
    std::shared_ptr<const FluidLibrary> library;
    std::uint64_t libraryGen;
    {
        std::lock_guard lock(c.mutex);
        library = c.library;
        libraryGen = c.generation.load(std::memory_order_relaxed);
    }
    if (!library)
        return Status::NoDataDirectory;
    const auto found = library->find(name);
    if (!found)
        return found.status;
    lastFluid = {libraryGen, name, found.value};
    out = lastFluid.fluid.get();
    return Status::Ok;
}

// Runs one property call: checks the pointers, finds the fluid, writes the value or NaN.
template <class Call> int32_t property(const char* refrigerant, double* out, Call call) {
    if (out == nullptr)
        return static_cast<int32_t>(Status::NullPointer);
    *out = NAN;
    if (refrigerant == nullptr)
        return static_cast<int32_t>(Status::NullPointer);
    try {
        const Fluid* fluid = nullptr;
        if (const Status s = findFluid(refrigerant, fluid); s != Status::Ok)
            return static_cast<int32_t>(s);
        const asere::Result<double> r = call(*fluid);
        if (!r.ok())
            return static_cast<int32_t>(r.status);
        if (!std::isfinite(r.value))
            return static_cast<int32_t>(Status::NoConvergence);
        *out = r.value;
        return ILK_OK;
    } catch (...) {
        return static_cast<int32_t>(Status::Internal);
    }
}

// A property call with several results from one state, each the member of State at the
// same place in `members`: all NaN unless it succeeds.
template <std::size_t N, class Call>
int32_t stateProperties(const char* refrigerant, const std::array<double*, N>& outs,
                        const std::array<double asere::State::*, N>& members, Call call) {
    if (std::find(outs.begin(), outs.end(), nullptr) != outs.end()) {
        for (double* out : outs)
            if (out != nullptr)
                *out = NAN;
        return static_cast<int32_t>(Status::NullPointer);
    }
    for (std::size_t i = 1; i < N; ++i)
        *outs[i] = NAN;
    asere::State state;
    const int32_t status = property(refrigerant, outs[0], [&](const Fluid& f) {
        const asere::Result<asere::State> r = call(f);
        if (r.ok()) {
            state = r.value;
            for (std::size_t i = 1; i < N; ++i)
                if (!std::isfinite(state.*members[i]))
                    return asere::failure<double>(Status::NoConvergence);
        }
        return r.ok() ? asere::Result<double>{state.*members[0], Status::Ok}
                      : asere::failure<double>(r.status);
    });
    if (status == 0)
        for (std::size_t i = 1; i < N; ++i)
            *outs[i] = state.*members[i];
    return status;
}

asere::Result<double> field(const asere::Result<asere::State>& s, double asere::State::*member) {
    if (!s.ok())
        return {NAN, s.status};
    return {s.value.*member, Status::Ok};
}

} // namespace

extern "C" {

int16_t ILK_CALL ILK_Revision(char** text) {
    if (text != nullptr && *text != nullptr)
        std::snprintf(*text, ILK_TEXT_SIZE, "%s", kRevisionText);
    return kRevision;
}

int32_t ILK_CALL ILK_SetDataDirectory(const char* directory) {
    if (directory == nullptr)
        return static_cast<int32_t>(Status::NullPointer);
    try {
        std::string dir(directory);
        if (!dir.empty() && !endsWithSeparator(dir))
            dir += '/';
        Current& c = current();
        std::lock_guard lock(c.mutex);
        // The engine hands over the same directory before every rating: that costs a
        // comparison once the fluids directory has been seen.
        if (c.library && dir == c.directory && c.found)
            return ILK_OK;
        if (!c.library || dir != c.directory) {
            auto library = std::make_shared<const FluidLibrary>(fluidsDirectory(dir));
            c.directory = std::move(dir);
            c.library = std::move(library);
            c.generation.fetch_add(1, std::memory_order_release);
        }
        std::error_code ec;
        c.found = std::filesystem::is_directory(c.library->directory(), ec);
        return c.found ? ILK_OK : ILK_NO_DATA_DIRECTORY;
    } catch (...) {
        return static_cast<int32_t>(Status::Internal);
    }
}

int32_t ILK_CALL ILK_SaturationPressure(const char* refrigerant, double T, double* p) {
    return property(refrigerant, p, [T](const Fluid& f) { return f.dewPressure(T); });
}

int32_t ILK_CALL ILK_BubbleTemperature(const char* refrigerant, double p, double* T) {
    return property(refrigerant, T, [p](const Fluid& f) { return f.bubbleTemperature(p); });
}

int32_t ILK_CALL ILK_LiquidEnthalpy(const char* refrigerant, double T, double* h) {
    return property(refrigerant, h, [T](const Fluid& f) { return f.liquidEnthalpy(T); });
}

int32_t ILK_CALL ILK_VapourEnthalpy(const char* refrigerant, double T, double p, double* h) {
    return property(refrigerant, h, [T, p](const Fluid& f) {
        return field(f.vapourState(T, p), &asere::State::h);
    });
}

int32_t ILK_CALL ILK_VapourVolume(const char* refrigerant, double T, double p, double* v) {
    return property(refrigerant, v, [T, p](const Fluid& f) {
        return field(f.vapourState(T, p), &asere::State::v);
    });
}

int32_t ILK_CALL ILK_VapourEntropy(const char* refrigerant, double T, double p, double* s) {
    return property(refrigerant, s, [T, p](const Fluid& f) {
        return field(f.vapourState(T, p), &asere::State::s);
    });
}

int32_t ILK_CALL ILK_VapourStatePS(const char* refrigerant, double p, double s, double* T,
                                   double* h) {
    return stateProperties<2>(
        refrigerant, {T, h}, {&asere::State::T, &asere::State::h},
        [p, s](const Fluid& f) { return asere::isobarVapourAtEntropy(f, p, s); });
}

int32_t ILK_CALL ILK_VapourStatePH(const char* refrigerant, double p, double h, double* T,
                                   double* s) {
    return stateProperties<2>(
        refrigerant, {T, s}, {&asere::State::T, &asere::State::s},
        [p, h](const Fluid& f) { return asere::vapourAtPressureEnthalpy(f, p, h); });
}

int32_t ILK_CALL ILK_StateTP(const char* refrigerant, double T, double p, double* h, double* s,
                             double* rho) {
    return stateProperties<3>(refrigerant, {h, s, rho},
                              {&asere::State::h, &asere::State::s, &asere::State::rho},
                              [T, p](const Fluid& f) { return f.singlePhaseState(T, p); });
}

int32_t ILK_CALL ILK_CriticalPoint(const char* refrigerant, double* Tc, double* pc) {
    return stateProperties<2>(refrigerant, {Tc, pc}, {&asere::State::T, &asere::State::p},
                              [](const Fluid& f) {
                                  asere::State c;
                                  std::tie(c.T, c.p) = f.criticalPoint();
                                  return asere::Result<asere::State>{c, Status::Ok};
                              });
}

} // extern "C"
