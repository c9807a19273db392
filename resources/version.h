// The program's version: the one place it is written. The version resource,
// the crash record and the release notes all take it from here.
#pragma once

#define ORVIX_VERSION_MAJOR 1
#define ORVIX_VERSION_MINOR 0
#define ORVIX_VERSION_PATCH 0
#define ORVIX_VERSION_BUILD 0

#define ORVIX_VERSION_STR2(x) #x
#define ORVIX_VERSION_STR(x) ORVIX_VERSION_STR2(x)
// "1.0.0.0"
#define ORVIX_VERSION_TEXT                                                                   \
  ORVIX_VERSION_STR(ORVIX_VERSION_MAJOR) "." ORVIX_VERSION_STR(ORVIX_VERSION_MINOR) "."      \
      ORVIX_VERSION_STR(ORVIX_VERSION_PATCH) "." ORVIX_VERSION_STR(ORVIX_VERSION_BUILD)
