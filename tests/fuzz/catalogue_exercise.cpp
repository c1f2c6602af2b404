#include "catalogue_exercise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "kpx/catalogue.h"
#include "kpx/rating.h"
#include "kpx/text_out.h"

namespace kpx {
namespace {

// Answers every property call at once with a smooth, finite function of its arguments.
class SmoothProperties final : public kpx::PropertyProvider {
public:
    void revision(char** text) override { kpx::writeText(*text, "fuzz"); }
    void setDataDirectory(const char*) override {}
    std::int32_t saturationPressure(const char*, double t, double* p) override {
        return put(p, 1000.0 * t);
    }
    std::int32_t bubbleTemperature(const char*, double p, double* t) override {
        return put(t, p / 1000.0);
    }
    std::int32_t liquidEnthalpy(const char*, double t, double* h) override {
        return put(h, 1400.0 * t);
    }
    std::int32_t vapourEnthalpy(const char*, double t, double p, double* h) override {
        return put(h, 2.0e5 + 900.0 * t + p * 1e-6);
    }
    std::int32_t vapourVolume(const char*, double t, double p, double* v) override {
        return put(v, p != 0 ? t / p : 0.0);
    }

private:
    static std::int32_t put(double* out, double value) {
        *out = value;
        return std::isfinite(value) ? 0 : 1;
    }
};

void use(std::string_view text) {
    char buffer[kpx::kMaxTextLength + 1];
    const std::int32_t n = kpx::writeText(buffer, text);
    if (n < 0 || static_cast<std::size_t>(n) > kpx::kMaxTextLength || buffer[n] != '\0')
        std::abort();
}

} // namespace

void exerciseCatalogue(const std::uint8_t* data, std::size_t size) {
    std::size_t codesLength = 0;
    if (size >= 2) {
        codesLength = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
        data += 2;
        size -= 2;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    kpx::Catalogue catalogue;
    catalogue.readCodes(bytes.substr(0, codesLength));
    catalogue.readModels(std::string(bytes.substr(codesLength)));
    catalogue.readSpeeds(bytes.substr(codesLength));

    for (const char* prefix : {"DLLR", "DLLF", "DLLP"}) {
        std::int32_t index = 0;
        // The numbers come from the data; a cycle must not run forever.
        for (std::size_t step = 0; step <= catalogue.codes().size(); ++step) {
            const auto entry = catalogue.NextCode(prefix, index);
            if (!entry || entry->number == 0)
                break;
            use(entry->text);
            index = entry->number;
        }
        catalogue.NextCode(prefix, -1);
    }

    SmoothProperties properties;
    std::size_t rated = 0;
    for (std::size_t start = 0;;) {
        const auto position = catalogue.findModel(start, 0, 0, 0);
        if (!position)
            break;
        use(catalogue.FieldText(*position, "ShowName"));
        if (rated++ < 16) {
            for (const std::string& name : catalogue.ColumnNames()) {
                use(catalogue.FieldText(*position, name));
                catalogue.FieldNumber(*position, name);
            }
            const kpx::RatingRecord record = catalogue.ratingRecord(*position);
            for (const kpx::Conditions& c :
                 {kpx::Conditions{-10, 45, 0, 10, 20}, kpx::Conditions{5, 50, 3, 5, 5},
                  kpx::Conditions{-35, 40, 0, 0, 0}}) {
                const kpx::RatingResult r =
                    kpx::rate(record, c, properties, catalogue.DataDirectory().c_str());
                if (r.code < 0 && r.capacity != kpx::NotRated)
                    std::abort();
            }
            // The same bytes read as a speed file: a model they give usable sets.
            if (const kpx::SpeedModel* m = catalogue.speedModel(*position);
                m != nullptr && m->problem.empty()) {
                const kpx::Conditions c{-10, 45, 0, 10, 20};
                for (const double speed : {m->minimum, m->nominal, m->maximum,
                                           (m->minimum + m->maximum) / 2, m->maximum + 1}) {
                    const kpx::RatingResult r =
                        kpx::rateAtSpeed(*m, record.refrigerant, speed, c, properties, "");
                    if (r.code < 0 && r.capacity != kpx::NotRated)
                        std::abort();
                }
                if (const auto span = kpx::allowedSpeeds(*m, c); span && !(span->low <= span->high))
                    std::abort();
                kpx::matchCapacity(*m, record.refrigerant, 1000, c, properties, "");
            }
        }
        catalogue.findModel(*position, 1, 2, 3);
        start = *position + 1;
    }
    catalogue.findModel("x", "R134a", 50);
}

} // namespace kpx
