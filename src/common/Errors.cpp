#include "common/Errors.h"

#include <system_error>

namespace {
std::string What(const std::string& reason, const std::string& path) {
    return path.empty() ? reason : path + ": " + reason;
}
} // namespace

KaveloError::KaveloError(std::string reason, std::string path)
    : std::runtime_error(What(reason, path)), reason_(std::move(reason)), path_(std::move(path)),
      what_(What(reason_, path_)) {}

void KaveloError::SetContext(std::string context) {
    context_ = std::move(context);
    what_ = What(What(reason_, path_), context_);
}

HuffmanError::HuffmanError()
    : DamagedInput("We zijn de boom tot op een dood punt genaderd, waarschijnlijk is de "
                   "header beschadigd") {}

NameConflict::NameConflict(const std::string& name)
    : KaveloError("an entry named \"" + name + "\" already exists in the package") {}

IoError::IoError(int code, std::string path)
    : KaveloError(std::generic_category().message(code), std::move(path)), code_(code) {}

IoError::IoError(int code, std::string path, const std::string& doing)
    : KaveloError(doing + ": " + std::generic_category().message(code), std::move(path)),
      code_(code) {}

Cancelled::Cancelled() : KaveloError("cancelled") {}
