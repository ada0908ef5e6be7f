#include "wizard/WizardArguments.h"

#include <cstdlib>

#include "common/Errors.h"

WizardArguments ParseWizardArguments(const std::vector<std::string>& words) {
    WizardArguments args;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool takesValue =
            word == "--setup" || word == "--ready-fd" || word == "--dir" || word == "--log";
        if (takesValue && i + 1 >= words.size()) throw InvalidRequest(word + " needs a value", "");
        if (word == "--setup") {
            args.Setup = words[++i];
        } else if (word == "--ready-fd") {
            const std::string& n = words[++i];
            if (n.empty() || n.find_first_not_of("0123456789") != std::string::npos || n.size() > 6)
                throw InvalidRequest("--ready-fd needs a file descriptor number", "");
            args.ReadyFd = std::atoi(n.c_str());
        } else if (word == "--dir") {
            args.Dir = words[++i];
        } else if (word == "--log") {
            args.Log = words[++i];
        } else if (word == "--accept-license" || word == "--accept-licence") {
            args.AcceptLicense = true;
        } else if (word == "--no-launch") {
            args.NoLaunch = true;
        } else {
            throw InvalidRequest("unknown option \"" + word + "\"", "");
        }
    }
    if (args.Setup.empty()) throw InvalidRequest("--setup names the setup file", "");
    return args;
}
