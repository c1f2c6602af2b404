#include "kv/fluidcheck.h"

#include "kv/displaytext.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kv {
namespace {

namespace fs = std::filesystem;

// A fluid file larger than this is not searched for the name it declares.
constexpr std::uintmax_t kMaxSearchedBytes = 16 * 1024 * 1024;

bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

bool isRegularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::size_t skipBlanks(const std::string& text, std::size_t at) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\r' || text[at] == '\n'))
        ++at;
    return at;
}

// Whether the file's "NAME" or one of its "ALIASES" is `name`. Read as text, not parsed:
// a damaged file may still say which refrigerant it was meant for.
bool declares(const fs::path& file, const std::string& name) {
    std::error_code ec;
    if (fs::file_size(file, ec) > kMaxSearchedBytes || ec)
        return false;
    std::ifstream in(file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string quoted = "\"" + name + "\"";
    for (const std::string key : {"\"NAME\"", "\"ALIASES\""}) {
        for (std::size_t at = text.find(key); at != std::string::npos;
             at = text.find(key, at + 1)) {
            std::size_t value = skipBlanks(text, at + key.size());
            if (value >= text.size() || text[value] != ':')
                continue;
            value = skipBlanks(text, value + 1);
            if (text.compare(value, quoted.size(), quoted) == 0)
                return true;
            if (value < text.size() && text[value] == '[' &&
                text.substr(value, text.find(']', value) - value).find(quoted) != std::string::npos)
                return true;
        }
    }
    return false;
}

// The file the property library reads for `name`, as its lookup finds it.
fs::path fileFor(const fs::path& folder, const std::string& name) {
    if (plainFileName(name) && isRegularFile(folder / (name + ".json")))
        return folder / (name + ".json");
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".json" && isRegularFile(it->path()))
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files)
        if (sameIgnoringCase(f.stem().string(), name))
            return f;
    for (const fs::path& f : files)
        if (declares(f, name))
            return f;
    return folder;
}

} // namespace

std::vector<FluidProblem> fluidProblems(const EngineApi& api, const std::string& programDir,
                                        const std::vector<std::string>& refrigerants) {
    std::vector<FluidProblem> out;
    if (api.ILK_SetDataDirectory == nullptr || api.ILK_SaturationPressure == nullptr)
        return out;
    // The engine hands the library the same directory before every rating, so this costs
    // a comparison; it makes the answer not depend on which directory was set last.
    const std::string dataDir = joinPath(programDir, "data") + kPathSeparator;
    api.ILK_SetDataDirectory(dataDir.c_str());
    const fs::path folder = nativePath(dataDir + "fluids");
    std::vector<std::string> asked;
    for (const std::string& name : refrigerants) {
        if (std::find(asked.begin(), asked.end(), name) != asked.end())
            continue;
        asked.push_back(name);
        double p = 0;
        const int32_t status = api.ILK_SaturationPressure(name.c_str(), 273.15, &p);
        if (status != ILK_UNKNOWN_FLUID && status != ILK_NO_DATA_DIRECTORY &&
            status != ILK_BAD_FLUID_FILE)
            continue;
        FluidProblem problem;
        problem.refrigerant = name;
        const std::string shown = displayText(name);
        std::string why;
        const fs::path file = fileFor(folder, name);
        if (status == ILK_NO_DATA_DIRECTORY) {
            problem.file = folder.string();
            why = "The fluids folder " + displayText(problem.file) + " is missing or can't be read";
        } else if (file != folder) {
            // The file that answers the name, or that was meant to (its names still say
            // so), and that the library refused.
            problem.file = file.string();
            why = "The fluid file " + displayText(problem.file) + " can't be used";
        } else if (plainFileName(name)) {
            problem.file = (folder / (name + ".json")).string();
            std::error_code ec;
            why = "The fluid file " + displayText(problem.file) +
                  (fs::exists(problem.file, ec) ? " is no regular file" : " is missing");
        } else {
            problem.file = folder.string();
            why = "No fluid file in " + displayText(problem.file) + " answers the name";
        }
        problem.message = why + ": the models of refrigerant " + shown + " can't be rated";
        out.push_back(std::move(problem));
    }
    return out;
}

} // namespace kv
