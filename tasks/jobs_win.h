// The small jobs the parent starts with a switch: external address lookup,
// version check, usage counters, message box and URL fetch. Each runs on the
// main thread and reports only through its own channel (a copy-data reply,
// a message box, or nothing).
#pragma once

#include <windows.h>

#include <string>

#include "tasks/requests.h"

namespace orvix::tasks {

// -getmyip: asks the sources in order and replies with tag 15 and the
// address (empty when none answered) when parent is still a window.
void LookupExternalAddress(HWND parent, HWND instanceWindow, const std::string& pageName);

// One source of the lookup: the XML document with the address, or empty.
std::string FetchAddressText(AddressSource source, const std::string& pageName);

// -getversion: replies with tag 16 and "version|notes|" when the version
// file could be loaded; nothing otherwise.
void CheckVersion(HWND parent, HWND instanceWindow, const std::string& pageName);

// -tracker, -sayyac, -newuser: one counting request each, answer ignored.
void CountHit(HitKind kind, const std::string& pageName);

// -message: a message box with no owner; type is read as a decimal number,
// 0 when missing or not a number.
void ShowMessageCommand(const std::string& caption, const std::string& text, const std::string& type);

// -geturl: fetches the URL and replies to parent (when it is a window) with
// tag 0 and the body bytes, or tag -1 and no bytes when the URL cannot be
// split.
void FetchUrlCommand(HWND parent, HWND instanceWindow, const std::string& url);

}  // namespace orvix::tasks
