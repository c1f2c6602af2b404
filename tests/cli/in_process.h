// vantrix-cli run in-process as its main runs it, with the C locale's number format, on a
// test suite's bound catalogue.
#pragma once

#include "bound_catalogue.h"
#include "kvcli/cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace kvtest {

struct Outcome {
    int status = -1;
    std::string out, err;
};

template <std::vector<kv::TestModel> (*Models)()>
class InProcessCli : public kv::BoundCatalogue<Models> {
protected:
    static Outcome cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--program-dir", InProcessCli::dir_->path().string()});
        std::ostringstream out, err;
        const int status = kvcli::runCommandLine(args, {}, {".", ","}, out, err);
        return {status, out.str(), err.str()};
    }
};

} // namespace kvtest
