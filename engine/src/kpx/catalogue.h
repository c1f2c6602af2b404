// The catalogue in memory: the code lists of "kpxcodes.bin" and the model table of
// "kpxcalc.bin", with the queries the exports answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kpx/catalogue_file.h"
#include "kpx/catalogue_schema.h"
#include "kpx/code_table.h"
#include "kpx/figures.h"
#include "kpx/rating.h"
#include "kpx/speed.h"
#include "kpx/transcritical.h"

namespace kpx {

class Catalogue {
public:
    Catalogue();
    Catalogue(const Catalogue&) = delete; // holds references into itself
    Catalogue& operator=(const Catalogue&) = delete;
    Catalogue(Catalogue&&) = default;
    Catalogue& operator=(Catalogue&&) = default;

    // Stores the directory, and unless the model table is loaded already, reads
    // directory + "kpxcodes.bin" into the code lists and directory + "kpxcalc.bin" into
    // the model table. A file that can't be read is skipped. A null directory counts as
    // an empty text.
    void initialize(const char* directory);

    // Adds the entries of a "kpxcodes.bin" content to the code lists (line 1 skipped).
    void readCodes(std::string_view content);
    // Replaces the model table by the one a "kpxcalc.bin" content holds and marks the
    // catalogue loaded.
    void readModels(std::string content);

    // Replaces the speed sets of variable-speed models by those a "kpxspeed.bin" content
    // holds, checked against the model table read before.
    void readSpeeds(std::string_view content) { speeds_.read(content, *this); }
    // The model's speed sets, or null for a fixed-speed model.
    const SpeedModel* speedModel(std::size_t position) const { return speeds_.find(position); }

    bool CatalogueLoaded() const { return loaded_; }
    const std::string& DataDirectory() const { return dataDirectory_; }
    const CodeTable& codes() const { return codes_; }
    const std::vector<std::string>& ColumnNames() const { return columnNames_; }
    std::size_t modelCount() const { return modelTable_.size(); }

    // One field of the model at 0-based `position` (< modelCount()): its text, empty when
    // the record has no such column; its number, NoValue when absent, empty or "-". The
    // text is followed by a zero byte in memory.
    std::string_view FieldText(std::size_t position, std::string_view column) const;
    double FieldNumber(std::size_t position, std::string_view column) const;
    bool hasField(std::size_t position, std::string_view column) const;

    struct CodeEntry {
        std::int32_t number;
        std::string_view text;
    };
    // The entry of list `prefix` that follows, in walk order, the entry keyed
    // prefix + "_" + index; with index 0 the list's first entry. A step through one of
    // the three lists the exports enumerate costs O(1).
    std::optional<CodeEntry> NextCode(std::string_view prefix, std::int32_t index) const;

    // Position of the first model at or after `start` whose "DLLR", "DLLF" and "DLLP"
    // numbers match the codes (0 matches anything).
    std::optional<std::size_t> findModel(std::size_t start, std::int32_t refrigerant,
                                         std::int32_t family, std::int32_t power) const;
    // Position of the first model with this "ShowName", "Refrigerant" and "Frequency"
    // (the frequency's decimal text), each compared byte by byte.
    std::optional<std::size_t> findModel(std::string_view showName, std::string_view refrigerant,
                                         std::int32_t frequency) const;

    // The rating columns of the model at `position`.
    RatingRecord ratingRecord(std::size_t position) const;
    // Its optional columns of the figures beyond the rating, and its technology.
    FigureColumns figureColumns(std::size_t position) const;
    // Its optional transcritical columns and technology.
    GasCoolerColumns gasCoolerColumns(std::size_t position) const;
    // Its "ShowName" text.
    std::string_view showName(std::size_t position) const;

private:
    struct Field {
        std::uint32_t offset; // into text_, zero-terminated there
        std::uint32_t length;
    };
    struct ModelRecord {
        std::uint32_t first; // into fields_
        std::uint32_t count; // fields 0 .. count-1 belong to columns 0 .. count-1
        std::uint32_t row;   // into numbers_, or kNoRow: numbers are read from the fields
    };
    static constexpr std::uint32_t kNoRow = 0xFFFFFFFFu;
    // All column positions that carry a name, ascending; the last one present wins.
    using ColumnRef = const std::vector<std::uint32_t>*;

    ColumnRef column(std::string_view name) const;
    const Field* field(std::size_t position, ColumnRef ref) const;
    std::string_view text(const Field* f) const;
    void clearModels();
    // "Scroll", "Reciprocating" or empty, by the model's family.
    std::string_view technology(std::size_t position) const;
    // Optional columns (FigureColumns, GasCoolerColumns) by their resolved references.
    template <class Columns>
    Columns optionalColumns(std::size_t position, const std::vector<ColumnRef>& refs) const;
    void parseModels();
    void resolveColumns();
    void storeNumbers(ModelRecord& record);
    double number(std::size_t position, std::size_t slot) const;

    // A code list in walk order: the table's entries whose key holds prefix + "_". A key
    // prefix + "_" + n always belongs to its own list, so each step of an enumeration is
    // one look-up of that key and one of the entry after it.
    struct CodeList {
        static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
        std::string needle; // prefix + "_"
        std::uint32_t first = kNone;
        std::vector<std::uint32_t> following; // by entry position: the next one of the list
    };
    CodeList codeList(std::string_view prefix) const;

    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };

    bool loaded_ = false;
    std::string dataDirectory_;
    CodeTable codes_;
    std::vector<CodeList> codeLists_; // the lists the exports enumerate, rebuilt per read
    std::vector<std::string> columnNames_;
    std::unordered_map<std::string, std::vector<std::uint32_t>, Hash, std::equal_to<>> columns_;
    std::string text_; // the model file's content, each stored field zero-terminated
    std::vector<Field> fields_;
    std::vector<ModelRecord> modelTable_;

    // Columns the queries and the rating read, resolved once per load.
    ColumnRef showName_ = nullptr, refrigerant_ = nullptr, frequency_ = nullptr;
    // The columns of the figures beyond the rating, in FigureColumns' order, and "DLLF".
    std::vector<ColumnRef> figureColumns_;
    // The transcritical columns, in GasCoolerColumns' order.
    std::vector<ColumnRef> gasCoolerColumns_;
    ColumnRef family_ = nullptr;
    // Number slots: the rating columns in schema order, then "DLLR",
    // "DLLF" and "DLLP". Their numbers are parsed once at load into one row per model that
    // has at least as many fields as the header has number columns; a row holds the
    // present number columns and NoValue last, where the absent ones point. Shorter lines
    // (malformed ones) are read from their fields, so that they cost no more memory than
    // their text.
    static constexpr std::size_t kCodeSlot = kRatingColumnCount; // DLLR; DLLF and DLLP follow
    std::vector<ColumnRef> numberColumns_;
    std::vector<std::size_t> presentSlots_;
    std::vector<std::uint32_t> slotPlace_;
    std::size_t rowWidth_ = 1;
    std::vector<double> numbers_;
    SpeedTable speeds_;
};

} // namespace kpx
