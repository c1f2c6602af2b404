#include "kpx/catalogue.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kpx {

// Windows: engine/windows/read_whole_file.cpp.
#ifndef _WIN32
std::optional<std::string> readWholeFile(const std::string& path) {
    // Not blocking: a named pipe without a writer must not hang the load. Regular files,
    // the only ones read, ignore the flag.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::string content;
    content.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == content.size())
            content.resize(content.size() * 2 + 4096);
        const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        used += static_cast<std::size_t>(n);
    }
    content.resize(used);
    return content;
}
#endif

Catalogue::Catalogue() = default;

void Catalogue::initialize(const char* directory) {
    dataDirectory_ = directory != nullptr ? directory : "";
    if (loaded_)
        return;
    if (auto codes = readWholeFile(dataDirectory_ + kCodesFileName))
        readCodes(*codes);
    if (auto models = readWholeFile(dataDirectory_ + kModelsFileName)) {
        readModels(std::move(*models));
        if (auto speeds = readWholeFile(dataDirectory_ + kSpeedsFileName))
            readSpeeds(*speeds);
    }
}

void Catalogue::readCodes(std::string_view content) {
    bool header = true;
    forEachLine(content, [&](std::string_view line) {
        if (header) {
            header = false;
            return;
        }
        const std::size_t tab1 = line.find('\t');
        if (tab1 == std::string_view::npos) {
            codes_.store("_", std::string(line));
            return;
        }
        const std::string_view list = line.substr(0, tab1);
        const std::size_t tab2 = line.find('\t', tab1 + 1);
        std::string key(list);
        key += '_';
        if (tab2 == std::string_view::npos) {
            codes_.store(std::move(key), std::string(line.substr(tab1 + 1)));
            return;
        }
        key += line.substr(tab1 + 1, tab2 - tab1 - 1);
        codes_.store(std::move(key), std::string(line.substr(tab2 + 1)));
    });
    // New keys change the walk order.
    codeLists_.clear();
    for (const char* prefix :
         {CodeListPrefix::kRefrigerants, CodeListPrefix::kFamilies, CodeListPrefix::kPowerSupplies})
        codeLists_.push_back(codeList(prefix));
}

Catalogue::CodeList Catalogue::codeList(std::string_view prefix) const {
    CodeList list;
    list.needle = std::string(prefix) + '_';
    list.following.assign(codes_.size(), CodeList::kNone);
    std::uint32_t* previous = &list.first;
    codes_.walkPositions([&](std::size_t position) {
        if (codes_.entry(position).key.find(list.needle) != std::string::npos) {
            *previous = static_cast<std::uint32_t>(position);
            previous = &list.following[position];
        }
        return false;
    });
    return list;
}

void Catalogue::clearModels() {
    loaded_ = false;
    columnNames_.clear();
    columns_.clear();
    fields_.clear();
    modelTable_.clear();
    numbers_.clear();
    numberColumns_.clear();
    figureColumns_.clear();
    gasCoolerColumns_.clear();
    family_ = nullptr;
    presentSlots_.clear();
    slotPlace_.clear();
    rowWidth_ = 1;
    text_.clear();
    speeds_.clear();
}

void Catalogue::readModels(std::string content) {
    clearModels();
    text_ = std::move(content);
    // Out of memory half-way leaves no half-built table behind.
    try {
        parseModels();
    } catch (...) {
        clearModels();
        throw;
    }
    loaded_ = true;
}

void Catalogue::parseModels() {
    // Field positions are 32-bit; a larger content keeps its lines below that limit.
    constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
    if (text_.size() > limit) {
        const std::size_t lastEnd = text_.rfind('\n', limit - 1);
        text_.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
    }

    const std::string_view all(text_);
    std::size_t lines = 0;
    for (std::size_t lf = all.find('\n'); lf != std::string_view::npos; lf = all.find('\n', lf + 1))
        ++lines;

    bool header = true;
    forEachLine(all, [&](std::string_view line) {
        const auto offset = static_cast<std::uint32_t>(line.data() - text_.data());
        if (header) {
            header = false;
            std::size_t pos = 0;
            for (;;) {
                const std::size_t tab = line.find('\t', pos);
                if (tab == std::string_view::npos || tab == pos)
                    break;
                columnNames_.emplace_back(line.substr(pos, tab - pos));
                pos = tab + 1;
            }
            resolveColumns();
            const std::size_t expected = lines * columnNames_.size();
            fields_.reserve(std::min(expected, text_.size()));
            modelTable_.reserve(lines);
            const std::size_t present = std::max<std::size_t>(presentSlots_.size(), 1);
            numbers_.reserve(std::min(lines, text_.size() / present) * rowWidth_);
            return;
        }
        ModelRecord record{static_cast<std::uint32_t>(fields_.size()), 0, kNoRow};
        const std::size_t columns = columnNames_.size();
        std::size_t pos = 0;
        // Fields beyond the last column are dropped.
        while (record.count < columns) {
            const void* hit = std::memchr(line.data() + pos, '\t', line.size() - pos);
            if (hit == nullptr)
                break;
            const std::size_t tab = static_cast<const char*>(hit) - line.data();
            const std::string_view value = line.substr(pos, tab - pos);
            fields_.push_back(Field{offset + static_cast<std::uint32_t>(pos),
                                    static_cast<std::uint32_t>(value.size())});
            text_[offset + tab] = '\0';
            ++record.count;
            pos = tab + 1;
        }
        modelTable_.push_back(record);
        storeNumbers(modelTable_.back());
    });
}

void Catalogue::storeNumbers(ModelRecord& record) {
    if (record.count == 0 || record.count < presentSlots_.size())
        return;
    record.row = static_cast<std::uint32_t>(numbers_.size() / rowWidth_);
    const std::size_t position = modelTable_.size() - 1;
    for (const std::size_t slot : presentSlots_) {
        const Field* f = field(position, numberColumns_[slot]);
        numbers_.push_back(f != nullptr ? kpx::FieldNumber(text(f)) : NoValue);
    }
    numbers_.push_back(NoValue);
}

double Catalogue::number(std::size_t position, std::size_t slot) const {
    const ModelRecord& record = modelTable_[position];
    if (record.row != kNoRow)
        return numbers_[record.row * rowWidth_ + slotPlace_[slot]];
    const Field* f = field(position, numberColumns_[slot]);
    return f != nullptr ? kpx::FieldNumber(text(f)) : NoValue;
}

void Catalogue::resolveColumns() {
    for (std::size_t i = 0; i < columnNames_.size(); ++i)
        columns_[columnNames_[i]].push_back(static_cast<std::uint32_t>(i));
    showName_ = column("ShowName");
    refrigerant_ = column("Refrigerant");
    frequency_ = column("Frequency");
    family_ = column(CodeListPrefix::kFamilies);
    figureColumns_.clear();
    FigureColumns figures;
    figures.forEachColumn(
        [&](std::string_view name, double&) { figureColumns_.push_back(column(name)); });
    gasCoolerColumns_.clear();
    GasCoolerColumns gasCooler;
    gasCooler.forEachColumn(
        [&](std::string_view name, double&) { gasCoolerColumns_.push_back(column(name)); });
    numberColumns_.clear();
    RatingRecord names;
    forEachRatingColumn(
        names, [&](std::string_view name, double&) { numberColumns_.push_back(column(name)); });
    for (const char* code :
         {CodeListPrefix::kRefrigerants, CodeListPrefix::kFamilies, CodeListPrefix::kPowerSupplies})
        numberColumns_.push_back(column(code));
    presentSlots_.clear();
    slotPlace_.clear();
    for (std::size_t slot = 0; slot < numberColumns_.size(); ++slot)
        if (numberColumns_[slot] != nullptr)
            presentSlots_.push_back(slot);
    rowWidth_ = presentSlots_.size() + 1;
    for (std::size_t slot = 0, place = 0; slot < numberColumns_.size(); ++slot)
        slotPlace_.push_back(static_cast<std::uint32_t>(
            numberColumns_[slot] != nullptr ? place++ : presentSlots_.size()));
}

Catalogue::ColumnRef Catalogue::column(std::string_view name) const {
    const auto it = columns_.find(name);
    return it == columns_.end() ? nullptr : &it->second;
}

const Catalogue::Field* Catalogue::field(std::size_t position, ColumnRef ref) const {
    if (ref == nullptr)
        return nullptr;
    const ModelRecord& record = modelTable_[position];
    for (auto it = ref->rbegin(); it != ref->rend(); ++it)
        if (*it < record.count)
            return &fields_[record.first + *it];
    return nullptr;
}

std::string_view Catalogue::text(const Field* f) const {
    if (f == nullptr)
        return {};
    return std::string_view(text_.data() + f->offset, f->length);
}

std::string_view Catalogue::FieldText(std::size_t position, std::string_view column) const {
    return text(field(position, this->column(column)));
}

double Catalogue::FieldNumber(std::size_t position, std::string_view column) const {
    const Field* f = field(position, this->column(column));
    return f != nullptr ? kpx::FieldNumber(text(f)) : NoValue;
}

std::string_view Catalogue::showName(std::size_t position) const {
    return text(field(position, showName_));
}

bool Catalogue::hasField(std::size_t position, std::string_view column) const {
    return field(position, this->column(column)) != nullptr;
}

std::optional<Catalogue::CodeEntry> Catalogue::NextCode(std::string_view prefix,
                                                        std::int32_t index) const {
    const auto known = std::find_if(codeLists_.begin(), codeLists_.end(), [&](const CodeList& l) {
        return l.needle.size() == prefix.size() + 1 &&
               l.needle.compare(0, prefix.size(), prefix) == 0;
    });
    const CodeList other = known == codeLists_.end() ? codeList(prefix) : CodeList{};
    const CodeList& list = known == codeLists_.end() ? other : *known;
    std::uint32_t hit = list.first;
    if (index != 0) {
        const auto start = codes_.positionOf(list.needle + std::to_string(index));
        if (!start)
            return std::nullopt;
        hit = list.following[*start];
    }
    if (hit == CodeList::kNone)
        return std::nullopt;
    const CodeTable::Entry& entry = codes_.entry(hit);
    const std::size_t underscore = entry.key.find('_');
    return CodeEntry{leadingInteger(std::string_view(entry.key).substr(underscore + 1)),
                     entry.value};
}

std::optional<std::size_t> Catalogue::findModel(std::size_t start, std::int32_t refrigerant,
                                                std::int32_t family, std::int32_t power) const {
    const auto matches = [this](std::size_t i, std::size_t slot, std::int32_t code) {
        return code == 0 || static_cast<double>(code) == number(i, slot);
    };
    for (std::size_t i = start; i < modelTable_.size(); ++i)
        if (matches(i, kCodeSlot, refrigerant) && matches(i, kCodeSlot + 1, family) &&
            matches(i, kCodeSlot + 2, power))
            return i;
    return std::nullopt;
}

std::optional<std::size_t> Catalogue::findModel(std::string_view showName,
                                                std::string_view refrigerant,
                                                std::int32_t frequency) const {
    const std::string frequencyText = std::to_string(frequency);
    for (std::size_t i = 0; i < modelTable_.size(); ++i)
        if (text(field(i, refrigerant_)) == refrigerant &&
            text(field(i, frequency_)) == frequencyText && text(field(i, showName_)) == showName)
            return i;
    return std::nullopt;
}

RatingRecord Catalogue::ratingRecord(std::size_t position) const {
    RatingRecord r;
    const ModelRecord& record = modelTable_[position];
    if (record.row != kNoRow) {
        const double* row = numbers_.data() + record.row * rowWidth_;
        const std::uint32_t* place = slotPlace_.data();
        forEachRatingColumn(r, [&](std::string_view, double& value) { value = row[*place++]; });
    } else {
        std::size_t slot = 0;
        forEachRatingColumn(
            r, [&](std::string_view, double& value) { value = number(position, slot++); });
    }
    const Field* refrigerant = field(position, refrigerant_);
    r.refrigerant = refrigerant != nullptr ? text_.data() + refrigerant->offset : "";
    return r;
}

template <class Columns>
Columns Catalogue::optionalColumns(std::size_t position, const std::vector<ColumnRef>& refs) const {
    Columns columns;
    auto ref = refs.begin();
    columns.forEachColumn([&](std::string_view, double& value) {
        const Field* found = field(position, *ref++);
        value = found != nullptr ? kpx::FieldNumber(text(found)) : NoValue;
    });
    columns.technology = technology(position);
    return columns;
}

FigureColumns Catalogue::figureColumns(std::size_t position) const {
    return optionalColumns<FigureColumns>(position, figureColumns_);
}

GasCoolerColumns Catalogue::gasCoolerColumns(std::size_t position) const {
    return optionalColumns<GasCoolerColumns>(position, gasCoolerColumns_);
}

std::string_view Catalogue::technology(std::size_t position) const {
    const FamilyEntry* family = entryFor(kFamilies, text(field(position, family_)));
    return family != nullptr ? family->technology : std::string_view();
}

} // namespace kpx
