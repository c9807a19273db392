// crash-test MODE: installs the program's quiet end and crash record, the
// way orvix.exe does at start-up (settings folder from the shell, MODE as
// the job), prints one JSON line of what the record should name, and
// crashes:
//   main       a write to an unmapped address on the main thread
//   thread     the same on a second thread
//   dll        a write fault inside crash-fault.dll
//   unloaded   a thread of crash-fault.dll resumes after the DLL is unloaded
//   threads    eight threads fault at the same moment
//   terminate  std::terminate
//   abort      abort()
// The process should end with exit code 0; 3 means it survived its crash.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "app/crash_log_win.h"
#include "app/settings_paths.h"
#include "app/settings_paths_win.h"

namespace {

int* volatile g_nowhere = reinterpret_cast<int*>(16);

__attribute__((noinline)) void WriteAt(volatile int* p) { *p = 1; }

std::uintptr_t Offset(const void* address, HMODULE module) {
  return reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
}

DWORD WINAPI FaultOnThread(void*) {
  WriteAt(g_nowhere);
  return 0;
}

HANDLE g_start;

DWORD WINAPI FaultTogether(void*) {
  ::WaitForSingleObject(g_start, INFINITE);
  WriteAt(g_nowhere);
  return 0;
}

// An export of the DLL as the function it is (through void(), which any
// function pointer type may be cast from without a warning).
template <typename F>
F* Export(HMODULE dll, const char* name) {
  return reinterpret_cast<F*>(reinterpret_cast<void (*)()>(::GetProcAddress(dll, name)));
}

void Say(const char* json) {
  std::fputs(json, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  orvix::app::InstallQuietFailureHandlers();
  orvix::app::InitSettingsPathsFromShell();
  orvix::app::PrepareCrashLog(orvix::app::SettingsFolder());
  if (argc != 2) {
    std::fputs("usage: crash-test MODE\n", stderr);
    return 2;
  }
  const char* mode = argv[1];
  orvix::app::NoteCrashJob(mode);
  char json[512];
  const HMODULE self = ::GetModuleHandleW(nullptr);
  const auto here = reinterpret_cast<const void*>(&WriteAt);

  if (!std::strcmp(mode, "main")) {
    std::snprintf(json, sizeof json, R"({"module": "crash-test.exe", "offset": %llu, "thread": %lu})",
                  static_cast<unsigned long long>(Offset(here, self)), ::GetCurrentThreadId());
    Say(json);
    WriteAt(g_nowhere);
  } else if (!std::strcmp(mode, "thread")) {
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, FaultOnThread, nullptr, CREATE_SUSPENDED, &id);
    std::snprintf(json, sizeof json, R"({"module": "crash-test.exe", "offset": %llu, "thread": %lu})",
                  static_cast<unsigned long long>(Offset(here, self)), id);
    Say(json);
    ::ResumeThread(thread);
    ::WaitForSingleObject(thread, INFINITE);
  } else if (!std::strcmp(mode, "dll") || !std::strcmp(mode, "unloaded")) {
    HMODULE dll = ::LoadLibraryW(L"crash-fault.dll");
    if (!dll) return 4;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const char*>(dll) + reinterpret_cast<const IMAGE_DOS_HEADER*>(dll)->e_lfanew);
    if (!std::strcmp(mode, "dll")) {
      auto write = Export<void(volatile int*)>(dll, "CrashFaultWrite");
      if (!write) return 4;
      std::snprintf(json, sizeof json, R"({"module": "crash-fault.dll", "offset": %llu, "thread": %lu})",
                    static_cast<unsigned long long>(Offset(reinterpret_cast<const void*>(write), dll)),
                    ::GetCurrentThreadId());
      Say(json);
      write(g_nowhere);
    } else {
      auto start = Export<HANDLE(HANDLE)>(dll, "CrashFaultStartLingering");
      if (!start) return 4;
      HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
      HANDLE thread = start(go);
      const DWORD id = ::GetThreadId(thread);
      std::snprintf(json, sizeof json, R"({"module": "?", "base": %llu, "size": %lu, "thread": %lu})",
                    static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(dll)),
                    nt->OptionalHeader.SizeOfImage, id);
      ::Sleep(200);  // the thread is waiting inside the DLL
      if (!::FreeLibrary(dll) || ::GetModuleHandleW(L"crash-fault.dll")) return 4;
      Say(json);
      ::SetEvent(go);
      ::WaitForSingleObject(thread, INFINITE);
    }
  } else if (!std::strcmp(mode, "threads")) {
    g_start = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[8];
    for (HANDLE& t : threads) t = ::CreateThread(nullptr, 0, FaultTogether, nullptr, 0, nullptr);
    std::snprintf(json, sizeof json, R"({"module": "crash-test.exe", "offset": %llu})",
                  static_cast<unsigned long long>(Offset(here, self)));
    Say(json);
    ::Sleep(100);
    ::SetEvent(g_start);
    ::WaitForMultipleObjects(8, threads, TRUE, INFINITE);
  } else if (!std::strcmp(mode, "terminate")) {
    Say(R"({"module": "-"})");
    std::terminate();
  } else if (!std::strcmp(mode, "abort")) {
    Say(R"({"module": "-"})");
    std::abort();
  } else {
    std::fputs("unknown mode\n", stderr);
    return 2;
  }
  return 3;
}
