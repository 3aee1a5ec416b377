// The shell service on Win32: ShellExecuteW "open".
#pragma once

#include "platform/shell.h"

namespace lz::shell {

class Win32Shell final : public Shell {
public:
    bool openUrl(std::string_view url) override;
};

}  // namespace lz::shell
