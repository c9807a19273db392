#include "net/process_win.h"

#include <vector>

#include "text/win_handles.h"

namespace orvix {

std::int32_t RunProcess(const std::string& program, const std::string& arguments, int show,
                        DWORD timeoutMs) {
  std::string command = program + " " + arguments;
  std::vector<char> commandLine(command.begin(), command.end());
  commandLine.push_back('\0');

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = static_cast<WORD>(show);
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);

  PROCESS_INFORMATION info{};
  if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return -1;
  }
  const win::UniqueHandleNull process(info.hProcess);
  const win::UniqueHandleNull thread(info.hThread);

  if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.get(), &code)) return 0;
  return static_cast<std::int32_t>(code);
}

}  // namespace orvix
