// Finding fluid files by refrigerant name or alias, and the per-directory fluid cache.
#include "asere/fluid.h"

#include "asere/loader.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace asere {

namespace {

namespace fs = std::filesystem;

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// A name that can stand as a file name in the directory: no separators, no "." or "..".
bool plainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

void requireDirectory(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec))
        throw FluidError(Status::NoDataDirectory,
                         "no fluids directory" + (dir.empty() ? "" : ": " + dir.string()));
}

std::vector<fs::path> fluidFiles(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (it->path().extension() == ".json" && it->is_regular_file(fec))
            files.push_back(it->path());
    }
    if (ec)
        throw FluidError(Status::NoDataDirectory, "the fluids directory can't be read: " +
                                                      dir.string() + " (" + ec.message() + ")");
    std::sort(files.begin(), files.end());
    return files;
}

using NameIndex = std::vector<std::pair<fs::path, std::vector<std::string>>>;

NameIndex indexNames(const fs::path& dir) {
    NameIndex index;
    for (const auto& f : fluidFiles(dir))
        index.emplace_back(f, fluidNames(f));
    return index;
}

// The file that answers `name`: a file named "<name>.json", else a file whose fluid name
// or alias is `name`; exact matches before matches that ignore case. `index` is the
// directory's names, read here when it is still empty.
fs::path findFluidFile(const fs::path& dir, std::string_view name, NameIndex& index,
                       bool& indexed) {
    requireDirectory(dir);
    if (name.empty())
        throw FluidError(Status::UnknownFluid, "no refrigerant name given");
    std::error_code ec;
    if (plainFileName(name)) {
        const fs::path direct = dir / (std::string(name) + ".json");
        if (fs::is_regular_file(direct, ec))
            return direct;
    }
    if (!indexed) {
        index = indexNames(dir);
        indexed = true;
    }
    for (const auto& entry : index)
        if (sameIgnoringCase(entry.first.stem().string(), name))
            return entry.first;
    fs::path caseless;
    for (const auto& [file, names] : index) {
        for (const std::string& n : names) {
            if (n == name)
                return file;
            if (caseless.empty() && sameIgnoringCase(n, name))
                caseless = file;
        }
    }
    if (!caseless.empty())
        return caseless;
    throw FluidError(Status::UnknownFluid, "unknown refrigerant \"" + std::string(name) +
                                               "\" (no fluid file in " + dir.string() + ")");
}

} // namespace

std::shared_ptr<const Fluid> Fluid::load(const std::filesystem::path& fluidsDirectory,
                                         std::string_view name) {
    NameIndex index;
    bool indexed = false;
    return fromFile(findFluidFile(fluidsDirectory, name, index, indexed));
}

FluidLibrary::FluidLibrary(std::filesystem::path fluidsDirectory)
    : directory_(std::move(fluidsDirectory)) {}

FluidLibrary::Entry FluidLibrary::lookup(std::string_view name, bool withMessage) const {
    const auto result = [withMessage](const Entry& e) {
        return withMessage ? e : Entry{e.fluid, e.status, {}};
    };
    std::lock_guard lock(mutex_);
    if (auto it = names_.find(name); it != names_.end())
        return result(it->second);
    Entry entry;
    try {
        const fs::path file = findFluidFile(directory_, name, index_, indexed_);
        // One Fluid per file, whichever of its names asked first; a file that can't be
        // used is not read again, whatever went wrong.
        const std::string fileKey = file.lexically_normal().string();
        if (auto it = files_.find(fileKey); it != files_.end()) {
            entry = it->second;
        } else {
            try {
                entry.fluid = Fluid::fromFile(file);
            } catch (const FluidError& e) {
                entry.status = e.status();
                entry.message = e.what();
            } catch (const std::bad_alloc&) {
                entry.status = Status::Internal;
                entry.message = file.string() + ": not enough memory to load it";
            } catch (const std::exception& e) {
                entry.status = Status::Internal;
                entry.message = file.string() + ": " + e.what();
            }
            files_.emplace(fileKey, entry);
        }
    } catch (const FluidError& e) {
        entry.status = e.status();
        entry.message = e.what();
        if (entry.status == Status::NoDataDirectory)
            return result(entry); // the directory may appear later
    }
    // Names are remembered up to a bound, so that asking for ever new names costs no more
    // memory than that; a name longer than any catalogue text is looked up every time.
    if (name.size() <= kMaxRememberedNameBytes) {
        if (names_.size() >= kMaxRememberedNames)
            names_.clear();
        names_.emplace(std::string(name), entry);
    }
    return result(entry);
}

std::size_t FluidLibrary::rememberedNames() const {
    std::lock_guard lock(mutex_);
    return names_.size();
}

Result<std::shared_ptr<const Fluid>> FluidLibrary::find(std::string_view name) const {
    try {
        const Entry e = lookup(name, false);
        if (e.status != Status::Ok)
            return {nullptr, e.status};
        return {e.fluid, Status::Ok};
    } catch (const std::bad_alloc&) {
        return {nullptr, Status::Internal};
    }
}

std::shared_ptr<const Fluid> FluidLibrary::get(std::string_view name) const {
    const Entry e = lookup(name, true);
    if (e.status != Status::Ok)
        throw FluidError(e.status, e.message);
    return e.fluid;
}

} // namespace asere
