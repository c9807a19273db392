// The quiet end of a crashed process, and the one line it leaves.
//
// A crash must not show the user a box or hand Plumo an error code, so an
// unhandled exception on any thread, std::terminate and SIGABRT all end the
// process with exit code 0. Before that, one line goes to crash.log in the
// settings folder, so that a crash does not pass for a job that ended well:
//
//   2026-12-09 16:07:38.324 job=-query code=0xc0000005 module=? address=0x00000002158f2738
//       access=execute:0x00000002158f2738 thread=1684 version=1.0.0.0
//
// (one line in the file: a thread that ran on in the wave driver after the
// driver was unloaded under it, at mciwave.dll+0x2738). The fields,
// separated by single spaces:
//   local time    date and time with milliseconds
//   job=          the switch of the job that ran, "-" before one was chosen
//   code=         the exception code in hex; "terminate" for std::terminate,
//                 "abort" for SIGABRT (neither has an address)
//   module=       the module the exception address lies in, by the name in
//                 its export directory (the program itself by its file
//                 name); followed by offset= (hex, from the module's base:
//                 with the release's symbol file it gives the source line).
//                 When the address is in no module, module=? and address=
//                 (the absolute address); module=- for terminate and abort
//   access=       access violations only: read, write or execute, and the
//                 address that was touched
//   thread=       the faulting thread's id, in decimal
//   version=      the program's version
//
// The file keeps the last 20 lines (each at most 254 characters; longer
// ones, which this program does not write, are cut). When the settings
// folder does not exist nothing is written, and the folder is not created.
//
// Only the first crash of a process writes; another thread crashing at the
// same moment waits for the process to end. The writer allocates nothing
// and takes none of the process's own locks (the faulting thread may hold
// the heap's or the loader's): everything it needs is prepared into fixed
// buffers beforehand, the module is found with VirtualQuery, the file is
// opened by its kernel name (NtCreateFile: CreateFileW would take the heap
// to convert the path) and read and written with plain file calls. A
// settings folder that is not an absolute path leaves crashes unrecorded.
#pragma once

#include <string_view>

namespace orvix::app {

// The quiet end for unhandled exceptions, std::terminate and SIGABRT, and no
// error boxes from the system. Call first thing at start-up.
void InstallQuietFailureHandlers() noexcept;

// Fixes where the line goes (settingsFolder + "\crash.log") and notes the
// program's own module. Call once at start-up, after the settings paths;
// until then a crash is not recorded. A folder that is not absolute, or too
// long for the fixed buffer, leaves crashes unrecorded.
void PrepareCrashLog(std::u16string_view settingsFolder) noexcept;

// The job the process runs now, by its switch ("-query"); cut to 16
// characters, anything outside printable ASCII shown as "_".
void NoteCrashJob(std::string_view job) noexcept;

}  // namespace orvix::app
