// The real shared library through its C exports, with a catalogue written to a temporary
// directory. The library holds one catalogue per process, so the steps run in order in
// one test.
#include <gtest/gtest.h>

#include <asere32.h>
#include <cmath>
#include <filesystem>
#include <string>

#include "engine_test_support.h"
#include "kpx_calc.h"
#include "kpx_text_buffer.h"

namespace {

const std::string kCodes = "List\tNumber\tText\n"
                           "DLLR\t1\tR134a\n"
                           "DLLR\t2\tR404A\n"
                           "DLLF\t1\tScroll\n"
                           "DLLP\t1\t" +
                           std::string(300, 'V') + "\n";

// Model 1 has a full envelope and constant polynomials; model 2 has no "TeHig"; model 3 a
// long name.
std::string models() {
    std::string header = "ShowName\tRefrigerant\tFrequency\tDLLR\tDLLF\tDLLP\t"
                         "TeLow\tTeHig\tTcLow\tTcHig\tTeMin\tTeMax\tTcMin\tTcMax\t"
                         "ShMax\tShTol\tRgtMax\tScMax\tTcTol\tScBase\tShBase\tQ0\tP0\tA0\tM0\t";
    std::string full = "K-100\tR134a\t50\t1\t1\t1\t-30\t15\t20\t70\t-25\t10\t25\t65\t"
                       "30\t5\t40\t15\t3\t0\t10\t1000\t400\t2\t0.01\t";
    std::string noTeHig = "K-200\tR134a\t50\t1\t1\t1\t-30\t\t20\t70\t-25\t10\t25\t65\t"
                          "30\t5\t40\t15\t3\t0\t10\t1000\t400\t2\t0.01\t";
    for (const char set : {'Q', 'P', 'A', 'M'})
        for (char digit = '1'; digit <= '9'; ++digit) {
            header += std::string{set, digit, '\t'};
            full += "0\t";
            noTeHig += "0\t";
        }
    return header + "\r\n" + full + "\r\n" + noTeHig + "\r\n" + std::string(400, 'L') +
           "\tR404A\t60\t2\t1\t1\t\r\n";
}

// A text buffer with guard bytes behind it, to see that no export writes past
// KPX_TEXT_SIZE bytes.
struct Buffer {
    char bytes[KPX_TEXT_SIZE + 44];
    char* pointer = bytes;
    Buffer() { std::fill(std::begin(bytes), std::end(bytes), '#'); }
    std::string text() const { return bytes; }
};

TEST(Exports, WholeSequenceThroughTheSharedLibrary) {
    kpx::TempDir dir;
    if (std::filesystem::exists(KPX_TEST_FLUIDS_DIR))
#ifdef _WIN32
        std::filesystem::copy(KPX_TEST_FLUIDS_DIR, dir.path() / "fluids");
#else
        std::filesystem::create_directory_symlink(KPX_TEST_FLUIDS_DIR, dir.path() / "fluids");
#endif
    double out[5] = {1, 2, 3, 4, 5};
    Buffer b;
    int32_t next = 77;

    // Before any catalogue: the searches answer -1, the rating NotRated.
    EXPECT_EQ(KPX_GetModel(0, 0, 0, 0, &next, &b.pointer), -1);
    EXPECT_EQ(next, 77);
    EXPECT_EQ(KPX_GetModelData(1, "ShowName", &b.pointer), -1);
    EXPECT_EQ(
        KPX_Rating(1, "", "", 50, -10, 40, 0, 10, 10, &out[0], &out[1], &out[2], &out[3], &out[4]),
        KPX_NOT_FOUND);
    for (double v : out)
        EXPECT_EQ(v, KPX_NOT_RATED);

    dir.write("kpxcodes.bin", kCodes);
    dir.write("kpxcalc.bin", models());
    EXPECT_EQ(KPX_Initialize(dir.slash().c_str()), 0);

    // Enumerations and the cut of long texts at KPX_TEXT_SIZE - 1 bytes.
    constexpr int32_t kLongest = KPX_TEXT_SIZE - 1;
    EXPECT_EQ(KPX_GetRefrigerant(0, &next, &b.pointer), 0);
    EXPECT_EQ(next, 1);
    EXPECT_EQ(b.text(), "R134a");
    EXPECT_EQ(KPX_GetRefrigerant(1, &next, &b.pointer), 0);
    EXPECT_EQ(next, 2);
    EXPECT_EQ(KPX_GetRefrigerant(2, &next, &b.pointer), -1);
    EXPECT_EQ(next, 0);
    EXPECT_EQ(KPX_GetFamily(0, &next, &b.pointer), 0);
    EXPECT_EQ(b.text(), "Scroll");
    EXPECT_EQ(KPX_GetPower(0, &next, &b.pointer), 0);
    EXPECT_EQ(b.text(), std::string(kLongest, 'V'));
    EXPECT_EQ(b.bytes[KPX_TEXT_SIZE], '#');

    // Search and field reads.
    EXPECT_EQ(KPX_GetModel(0, 2, 0, 0, &next, &b.pointer), 0);
    EXPECT_EQ(next, 3);
    EXPECT_EQ(b.text(), std::string(kLongest, 'L'));
    EXPECT_EQ(KPX_GetModel(3, 0, 0, 0, &next, &b.pointer), -1);
    EXPECT_EQ(next, 0);
    EXPECT_EQ(KPX_GetModel(1, 1, 1, 1, &next, &b.pointer), 0);
    EXPECT_EQ(next, 2);
    EXPECT_EQ(b.text(), "K-200");
    EXPECT_EQ(KPX_GetModelData(0, "ShowName", &b.pointer), 1);
    EXPECT_EQ(KPX_GetModelData(4, "ShowName", &b.pointer), 1);
    EXPECT_EQ(KPX_GetModelData(3, "ShowName", &b.pointer), kLongest);
    EXPECT_EQ(KPX_GetModelData(1, "Refrigerant", &b.pointer), 5);
    EXPECT_EQ(b.text(), "R134a");
    EXPECT_EQ(KPX_GetModelData(1, "Nothing", &b.pointer), 0);
    EXPECT_EQ(b.text(), "");

    // Null pointers and a negative start.
    EXPECT_EQ(KPX_GetModelData(1, nullptr, &b.pointer), -1);
    EXPECT_EQ(KPX_GetModelData(1, "ShowName", nullptr), -1);
    EXPECT_EQ(KPX_GetModel(-1, 0, 0, 0, &next, &b.pointer), -1);
    EXPECT_EQ(KPX_GetModel(0, 0, 0, 0, nullptr, &b.pointer), -1);
    EXPECT_EQ(KPX_GetRefrigerant(0, nullptr, &b.pointer), -1);
    char* nowhere = nullptr;
    EXPECT_EQ(KPX_GetFamily(0, &next, &nowhere), -1);
    EXPECT_EQ(
        KPX_Rating(1, "", "", 50, -10, 40, 0, 10, 10, &out[0], nullptr, &out[2], &out[3], &out[4]),
        KPX_NOT_FOUND);
    EXPECT_EQ(out[0], KPX_NOT_RATED);

    // Ratings: selection, refusal, and a clean point that the property library rates,
    // or answers with KPX_PROPERTIES_FAILED when it can't serve the refrigerant.
    const auto rating = [&](int32_t model, const char* name, const char* refrigerant,
                            int32_t frequency, double te) {
        return KPX_Rating(model, name, refrigerant, frequency, te, 40, 0, 10, 10, &out[0], &out[1],
                          &out[2], &out[3], &out[4]);
    };
    EXPECT_EQ(rating(4, "", "", 0, -10), KPX_NOT_FOUND);
    EXPECT_EQ(rating(-1, "", "", 0, -10), KPX_NOT_FOUND);
    EXPECT_EQ(rating(0, "K-100", "R134a", 60, -10), KPX_NOT_FOUND);
    EXPECT_EQ(rating(0, nullptr, "R134a", 50, -10), KPX_NOT_FOUND);
    EXPECT_EQ(rating(2, "", "", 0, -10), KPX_TE_TOO_HIGH); // no TeHig
    EXPECT_EQ(rating(1, "", "", 0, 20), KPX_TE_TOO_HIGH);
    EXPECT_EQ(out[0], KPX_NOT_RATED);

    const int32_t code = rating(0, "K-100", "R134a", 50, -10);
    kpx::PropertyTextBuffer revision;
    ILK_Revision(revision.address());
    ILK_SetDataDirectory(dir.slash().c_str());
    double p = 0;
    const bool propertiesServe = ILK_SaturationPressure("R134a", 263.15, &p) == ILK_OK;
    if (propertiesServe) {
        // At the model's base conditions both factors are exactly 1.
        EXPECT_EQ(code, KPX_CLEAN);
        EXPECT_EQ(out[0], 1000);
        EXPECT_EQ(out[1], 400);
        EXPECT_EQ(out[3], 0.01);
        EXPECT_EQ(out[4], 2.5);
        // More suction superheat: thinner suction gas, less mass flow.
        EXPECT_EQ(KPX_Rating(1, "", "", 0, -10, 40, 0, 10, 20, &out[0], &out[1], &out[2], &out[3],
                             &out[4]),
                  KPX_CLEAN);
        EXPECT_LT(out[3], 0.01);
        EXPECT_GT(out[3], 0.008);
    } else {
        EXPECT_EQ(code, KPX_PROPERTIES_FAILED);
        for (double v : out)
            EXPECT_EQ(v, KPX_NOT_RATED);
    }
}

} // namespace
