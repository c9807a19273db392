// Resource ids of orvix.exe, shared by the resource script and the code.
// The string ids are the numbers in resources/strings.txt.
#pragma once

// The quota dialog template and its controls (the quota dialog adds its
// control ids here; 101 is the template itself).
#define IDD_QUOTA 101

// The application manifest (Common Controls 6 for the link control).
#define IDR_APP_MANIFEST 1
