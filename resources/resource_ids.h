// Resource ids of orvix.exe, shared by the resource script and the code.
// The string ids are the numbers in resources/strings.txt.
#pragma once

// The quota dialog template.
#define IDD_QUOTA 101

// Controls of the quota dialog. Other code (and the parent's tools) refer to
// these numbers: they never change.
#define IDC_CODE_EDIT 1000      // the security code box
#define IDC_CAPTCHA_IMAGE 1001  // picture control showing the security-code image
#define IDC_LINK 1002           // SysLink with the five links of text 102
#define IDC_STATUS 1003         // status text
#define IDC_GROUP 1004          // group box around code entry / status
#define IDC_CLOSE 1006          // "Kapat"
#define IDC_RESTART 1007        // "Tekrar"
#define IDC_REFRESH 1008        // "Yinele"
// IDOK (1) is "Giriş", IDCANCEL (2) the close box.

// String resources used by name in the code.
#define IDS_SERVER_SAID 101
#define IDS_LINK_TEXT 102
#define IDS_LINK_PLAYING 103
#define IDS_EXCEPTION 104
#define IDS_GROUP_CODE 105
#define IDS_UPDATED 106
#define IDS_UNCHANGED 107
#define IDS_REPORT 108
#define IDS_TRY_REFRESH 109
#define IDS_TITLE 110
#define IDS_GROUP_STATUS 111
#define IDS_STATUS_LOGIN_PAGE 202
#define IDS_STATUS_IMAGE 203
#define IDS_STATUS_SOUND 204
#define IDS_STATUS_LOGIN 207
#define IDS_STATUS_AGREEMENT 208
#define IDS_STATUS_TRANSFER 209
#define IDS_STATUS_FAILED 216

// The application manifest (Common Controls 6 for the link control).
#define IDR_APP_MANIFEST 1
