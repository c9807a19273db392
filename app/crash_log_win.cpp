#include "app/crash_log_win.h"

#include <windows.h>
#include <winternl.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string_view>
#include <type_traits>

#include "resources/version.h"
#include "text/win_handles.h"

namespace orvix::app {

namespace {

// Everything below is fixed-size and static: the writer runs in a process
// that has just faulted.
constexpr std::size_t kMaxLine = 256;  // bytes, CR LF included
constexpr std::size_t kKeptLines = 20;
constexpr std::size_t kFileBytes = kMaxLine * kKeptLines;
constexpr std::size_t kPathChars = 1024;
constexpr std::size_t kJobChars = 16;
constexpr std::size_t kModuleChars = 63;

// The file as the kernel names it (\??\C:\...\crash.log): opening it by
// that name needs no conversion, and the conversion CreateFileW does takes
// its buffer from the process heap, whose lock the faulting thread may hold.
wchar_t g_path[kPathChars];
USHORT g_pathBytes;  // 0: no record
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043);
char g_job[kJobChars + 1] = "-";
char g_program[kModuleChars + 1];
const void* g_programBase;

volatile LONG g_crashing;
volatile DWORD g_writerThread;

char g_file[kFileBytes];                // the tail of the file as it was
char g_out[kFileBytes];                 // what goes back
char g_line[kMaxLine];                  // the new line
char g_module[kModuleChars + 1];

// A line being put together in a fixed buffer; what does not fit is cut.
class Line {
 public:
  Line(char* buffer, std::size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void Char(char c) {
    if (size_ < capacity_) buffer_[size_++] = c;
  }
  void Text(const char* text) {
    while (*text) Char(*text++);
  }
  // Unsigned decimal, at least `digits` digits.
  void Decimal(std::uint64_t value, int digits = 1) {
    char reversed[20];
    int n = 0;
    do {
      reversed[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value && n < 20);
    for (int i = n; i < digits; ++i) Char('0');
    while (n) Char(reversed[--n]);
  }
  // "0x" and lower-case hex, at least `digits` digits.
  void Hex(std::uint64_t value, int digits = 1) {
    char reversed[16];
    int n = 0;
    do {
      reversed[n++] = "0123456789abcdef"[value & 15];
      value >>= 4;
    } while (value && n < 16);
    Text("0x");
    for (int i = n; i < digits; ++i) Char('0');
    while (n) Char(reversed[--n]);
  }
  std::size_t Size() const { return size_; }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t size_ = 0;
};

// A name as the line shows it: printable ASCII without spaces, "_" for the
// rest, cut to `capacity` characters.
template <typename C>
void CopyName(char* out, std::size_t capacity, const C* name, std::size_t length) {
  std::size_t n = 0;
  for (; n < capacity && n < length; ++n) {
    const auto c = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<C>>(name[n]));
    out[n] = c > 0x20 && c < 0x7f ? static_cast<char>(c) : '_';
  }
  out[n] = '\0';
}

// Whether `size` bytes at `address` can be read now (committed, readable,
// no guard page), asked of the memory manager rather than tried.
bool Readable(const void* address, std::size_t size) {
  auto at = reinterpret_cast<std::uintptr_t>(address);
  while (size) {
    MEMORY_BASIC_INFORMATION info{};
    if (::VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || info.Protect == 0)
      return false;
    const auto end = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (end - at >= size) return true;
    size -= end - at;
    at = end;
  }
  return true;
}

// The name a module gives itself in its export directory, into g_module;
// false when it has none that can be read.
bool ExportName(const unsigned char* base) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (!Readable(dos, sizeof *dos) || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew <= 0) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (!Readable(nt, sizeof *nt) || nt->Signature != IMAGE_NT_SIGNATURE ||
      nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR_MAGIC ||
      nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
    return false;
  const DWORD imageSize = nt->OptionalHeader.SizeOfImage;
  const IMAGE_DATA_DIRECTORY entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (imageSize < sizeof(IMAGE_EXPORT_DIRECTORY) || entry.VirtualAddress == 0 || entry.Size < sizeof(IMAGE_EXPORT_DIRECTORY) ||
      entry.VirtualAddress > imageSize - sizeof(IMAGE_EXPORT_DIRECTORY))
    return false;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  if (!Readable(exports, sizeof *exports) || exports->Name == 0 || exports->Name >= imageSize) return false;
  const auto* name = reinterpret_cast<const char*>(base + exports->Name);
  std::size_t length = 0;
  while (length < kModuleChars && exports->Name + length < imageSize && Readable(name + length, 1) &&
         name[length] != '\0')
    ++length;
  if (length == 0) return false;
  CopyName(g_module, kModuleChars, name, length);
  return true;
}

// The base of the mapped image holding `address`, or null.
const unsigned char* ImageBase(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  if (::VirtualQuery(address, &info, sizeof info) != sizeof info) return nullptr;
  if (info.State != MEM_COMMIT || info.Type != MEM_IMAGE) return nullptr;
  return static_cast<const unsigned char*>(info.AllocationBase);
}

struct Fault {
  const char* code = nullptr;  // a marker instead of a number
  DWORD number = 0;
  const void* address = nullptr;
  bool hasAddress = false;
  int access = -1;  // access violations: 0 read, 1 write, 8 execute
  std::uintptr_t touched = 0;
};

void FormatLine(Line& line, const Fault& fault) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  line.Decimal(now.wYear, 4);
  line.Char('-');
  line.Decimal(now.wMonth, 2);
  line.Char('-');
  line.Decimal(now.wDay, 2);
  line.Char(' ');
  line.Decimal(now.wHour, 2);
  line.Char(':');
  line.Decimal(now.wMinute, 2);
  line.Char(':');
  line.Decimal(now.wSecond, 2);
  line.Char('.');
  line.Decimal(now.wMilliseconds, 3);
  line.Text(" job=");
  line.Text(g_job);
  line.Text(" code=");
  if (fault.code)
    line.Text(fault.code);
  else
    line.Hex(fault.number, 8);
  line.Text(" module=");
  if (!fault.hasAddress) {
    line.Char('-');
  } else if (const unsigned char* base = ImageBase(fault.address)) {
    if (base == g_programBase && g_program[0])
      line.Text(g_program);
    else if (ExportName(base))
      line.Text(g_module);
    else
      line.Hex(reinterpret_cast<std::uintptr_t>(base));  // an image without a name: its base
    line.Text(" offset=");
    line.Hex(reinterpret_cast<std::uintptr_t>(fault.address) - reinterpret_cast<std::uintptr_t>(base));
  } else {
    line.Text("? address=");
    line.Hex(reinterpret_cast<std::uintptr_t>(fault.address), sizeof(void*) * 2);
  }
  if (fault.access >= 0) {
    line.Text(" access=");
    line.Text(fault.access == 0 ? "read:" : fault.access == 1 ? "write:" : fault.access == 8 ? "execute:" : "other:");
    line.Hex(fault.touched, sizeof(void*) * 2);
  }
  line.Text(" thread=");
  line.Decimal(::GetCurrentThreadId());
  line.Text(" version=" ORVIX_VERSION_TEXT);
}

// Reads the whole of a file's last kFileBytes bytes into g_file; returns how
// many. A read that starts inside the file drops the cut line at its start.
std::size_t ReadTail(HANDLE file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size) || size.QuadPart <= 0) return 0;
  LARGE_INTEGER start{};
  start.QuadPart = size.QuadPart > static_cast<LONGLONG>(kFileBytes) ? size.QuadPart - kFileBytes : 0;
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return 0;
  std::size_t got = 0;
  while (got < kFileBytes) {
    DWORD n = 0;
    if (!::ReadFile(file, g_file + got, static_cast<DWORD>(kFileBytes - got), &n, nullptr) || n == 0) break;
    got += n;
  }
  if (start.QuadPart == 0) return got;
  std::size_t from = 0;
  while (from < got && g_file[from] != '\n') ++from;
  if (from < got) ++from;
  std::size_t n = 0;
  for (std::size_t i = from; i < got; ++i) g_file[n++] = g_file[i];
  return n;
}

// g_out: the last kKeptLines - 1 non-empty lines of g_file (each cut to
// kMaxLine - 2 characters, ended with CR LF), then the new line. Returns its
// size.
std::size_t Compose(std::size_t fileBytes, const Line& line) {
  auto forEachLine = [&](auto&& f) {
    std::size_t at = 0;
    while (at < fileBytes) {
      std::size_t end = at;
      while (end < fileBytes && g_file[end] != '\n') ++end;
      std::size_t length = end - at;
      if (length && g_file[at + length - 1] == '\r') --length;
      if (length) f(g_file + at, length);
      at = end + 1;
    }
  };
  std::size_t lines = 0;
  forEachLine([&](const char*, std::size_t) { ++lines; });
  std::size_t skip = lines > kKeptLines - 1 ? lines - (kKeptLines - 1) : 0;
  std::size_t out = 0;
  forEachLine([&](const char* text, std::size_t length) {
    if (skip) {
      --skip;
      return;
    }
    if (length > kMaxLine - 2) length = kMaxLine - 2;
    for (std::size_t i = 0; i < length; ++i) g_out[out++] = text[i];
    g_out[out++] = '\r';
    g_out[out++] = '\n';
  });
  for (std::size_t i = 0; i < line.Size(); ++i) g_out[out++] = g_line[i];
  g_out[out++] = '\r';
  g_out[out++] = '\n';
  return out;
}

// crash.log, opened for reading and writing, made when missing; none when
// it cannot be. The owner is a handle value and nothing more: it allocates
// nothing.
win::UniqueHandleNull OpenLog() {
  if (!g_pathBytes) return {};
  UNICODE_STRING name{g_pathBytes, static_cast<USHORT>(sizeof g_path), g_path};
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
  // Not shared: another process of ours that crashes at the same moment
  // takes its turn. A missing folder fails the open, and stays missing.
  for (int attempt = 0; attempt < 100; ++attempt) {
    HANDLE file = nullptr;
    IO_STATUS_BLOCK io{};
    const NTSTATUS status =
        ::NtCreateFile(&file, GENERIC_READ | GENERIC_WRITE | SYNCHRONIZE, &attributes, &io, nullptr,
                       FILE_ATTRIBUTE_NORMAL, 0, FILE_OPEN_IF, FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE,
                       nullptr, 0);
    if (status >= 0) return win::UniqueHandleNull(file);
    if (status != kSharingViolation) return {};
    ::Sleep(10);
  }
  return {};
}

void AppendLine(const Line& line) {
  const win::UniqueHandleNull file = OpenLog();
  if (!file) return;
  const std::size_t size = Compose(ReadTail(file.get()), line);
  LARGE_INTEGER start{};
  if (::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) {
    DWORD written = 0;
    if (::WriteFile(file.get(), g_out, static_cast<DWORD>(size), &written, nullptr) && written == size)
      ::SetEndOfFile(file.get());
  }
}

// TerminateProcess, not ExitProcess: after a fault the process's locks may
// be held, and no DLL or runtime clean-up must run.
[[noreturn]] void EndQuietly() {
  ::TerminateProcess(::GetCurrentProcess(), 0);
  for (;;) ::Sleep(INFINITE);
}

[[noreturn]] void RecordAndEnd(const Fault& fault) {
  const DWORD self = ::GetCurrentThreadId();
  if (::InterlockedCompareExchange(&g_crashing, 1, 0) != 0) {
    // A fault inside the writer itself ends the process at once; another
    // thread's crash waits while the first one's line is written.
    if (g_writerThread != self) ::Sleep(10000);
    EndQuietly();
  }
  g_writerThread = self;
  Line line(g_line, kMaxLine - 2);
  FormatLine(line, fault);
  AppendLine(line);
  EndQuietly();
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  Fault fault;
  if (pointers && pointers->ExceptionRecord) {
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    fault.number = record.ExceptionCode;
    fault.address = record.ExceptionAddress;
    fault.hasAddress = true;
    if ((record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION || record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR) &&
        record.NumberParameters >= 2) {
      fault.access = static_cast<int>(record.ExceptionInformation[0]);
      fault.touched = record.ExceptionInformation[1];
    }
  } else {
    fault.code = "unknown";
  }
  RecordAndEnd(fault);
}

void OnAbortSignal(int) {
  Fault fault;
  fault.code = "abort";
  RecordAndEnd(fault);
}

[[noreturn]] void OnTerminate() {
  Fault fault;
  fault.code = "terminate";
  RecordAndEnd(fault);
}

}  // namespace

void InstallQuietFailureHandlers() noexcept {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
  std::set_terminate(OnTerminate);
  std::signal(SIGABRT, OnAbortSignal);
}

void PrepareCrashLog(std::u16string_view settingsFolder) noexcept {
  g_programBase = ::GetModuleHandleW(nullptr);
  wchar_t program[MAX_PATH + 1];
  const DWORD length = ::GetModuleFileNameW(nullptr, program, MAX_PATH + 1);
  if (length > 0 && length <= MAX_PATH) {
    DWORD start = length;
    while (start > 0 && program[start - 1] != L'\\' && program[start - 1] != L'/') --start;
    CopyName(g_program, kModuleChars, program + start, length - start);
  }
  // Only an absolute folder has a name the kernel takes: a drive path
  // (C:\...) or a network share (\\server\share\...).
  std::u16string_view prefix;
  std::u16string_view folder = settingsFolder;
  if (folder.size() >= 3 && folder[1] == u':' && folder[2] == u'\\') {
    prefix = u"\\??\\";
  } else if (folder.size() >= 3 && folder.substr(0, 2) == u"\\\\" && folder[2] != u'?' && folder[2] != u'.') {
    prefix = u"\\??\\UNC\\";
    folder.remove_prefix(2);
  } else {
    return;
  }
  constexpr std::u16string_view kName = u"\\crash.log";
  const std::size_t chars = prefix.size() + folder.size() + kName.size();
  if (chars >= kPathChars) return;
  std::size_t n = 0;
  for (std::u16string_view part : {prefix, folder, kName})
    for (char16_t c : part) g_path[n++] = static_cast<wchar_t>(c);
  g_path[n] = L'\0';
  g_pathBytes = static_cast<USHORT>(n * sizeof(wchar_t));
}

void NoteCrashJob(std::string_view job) noexcept {
  if (job.empty()) job = "-";
  CopyName(g_job, kJobChars, job.data(), job.size());
}

}  // namespace orvix::app
