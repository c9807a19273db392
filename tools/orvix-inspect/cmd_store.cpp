// Store commands: INI files and account records.
//
// File errors (cannot open, cannot create) exit with 1. The account
// command never prints the password, only whether there is one.
#include <iostream>

#include "store/account.h"
#include "store/ini_file.h"
#include "store/number_text.h"
#include "text/file_io.h"
#include "text/platform.h"
#include "text/text_utils.h"
#include "tools/orvix-inspect/inspect.h"

namespace orvix::inspect {

namespace {

// Loads a store that must exist; prints the reason and returns null when
// it cannot be read.
template <typename Store>
std::unique_ptr<Store> LoadExisting(const std::string& path) {
  const std::u16string name = FromUtf8(path);
  if (!fileio::FileExists(name)) {
    std::cerr << "orvix-inspect: cannot read " << path << "\n";
    return nullptr;
  }
  try {
    return std::make_unique<Store>(name);
  } catch (const EFileError& e) {
    std::cerr << "orvix-inspect: " << e.what() << "\n";
    return nullptr;
  }
}

int RunIni(const Args& args) {
  if (args.size() != 1) return UsageError("ini FILE");
  auto ini = LoadExisting<TWMemIniFile>(args[0]);
  if (!ini) return kCannotRead;
  std::string out = "{\"sections\":[";
  for (int i = 0; i < ini->SectionCount(); ++i) {
    if (i > 0) out += ',';
    out += "{\"name\":" + JsonString(ini->SectionName(i)) + ",\"lines\":[";
    const TWHashedStringList& lines = ini->SectionLines(i);
    for (int j = 0; j < lines.Count(); ++j) {
      if (j > 0) out += ',';
      out += JsonString(lines.Strings(j));
    }
    out += "]}";
  }
  out += "]}\n";
  std::cout << out;
  return kOk;
}

constexpr const char* kIniGetUsage = "ini-get FILE SECTION KEY string|integer|bool|float [DEFAULT]";

int RunIniGet(const Args& args) {
  if (args.size() != 4 && args.size() != 5) return UsageError(kIniGetUsage);
  const std::u16string section = FromUtf8(args[1]);
  const std::u16string key = FromUtf8(args[2]);
  const std::string& type = args[3];
  const bool hasDefault = args.size() == 5;
  const std::string defaultText = hasDefault ? args[4] : std::string();
  if (type != "string" && type != "integer" && type != "bool" && type != "float") return UsageError(kIniGetUsage);

  std::int32_t defaultInt = 0;
  double defaultFloat = 0;
  bool defaultBool = false;
  if (hasDefault) {
    if (type == "integer" && !numtext::ParseInteger(defaultText, defaultInt)) return UsageError(kIniGetUsage);
    if (type == "float" && !numtext::ParseFloat(defaultText, defaultFloat)) return UsageError(kIniGetUsage);
    if (type == "bool") {
      if (defaultText == "true" || defaultText == "1") {
        defaultBool = true;
      } else if (defaultText != "false" && defaultText != "0") {
        return UsageError(kIniGetUsage);
      }
    }
  }

  auto ini = LoadExisting<TWMemIniFile>(args[0]);
  if (!ini) return kCannotRead;
  if (type == "string") {
    std::cout << ToUtf8(ini->ReadString(section, key, FromUtf8(defaultText))) << "\n";
  } else if (type == "integer") {
    std::cout << ini->ReadInteger(section, key, defaultInt) << "\n";
  } else if (type == "bool") {
    std::cout << (ini->ReadBool(section, key, defaultBool) ? "true" : "false") << "\n";
  } else {
    std::cout << JsonNumber(ini->ReadFloat(section, key, defaultFloat)) << "\n";
  }
  return kOk;
}

int RunIniWrite(const Args& args) {
  if (args.size() != 4) return UsageError("ini-write FILE SECTION KEY VALUE");
  try {
    TWMemIniFile ini(FromUtf8(args[0]));  // a missing file starts an empty store
    ini.WriteString(FromUtf8(args[1]), FromUtf8(args[2]), FromUtf8(args[3]));
    ini.UpdateFile();
  } catch (const EFileError& e) {
    std::cerr << "orvix-inspect: " << e.what() << "\n";
    return kCannotRead;
  }
  return kOk;
}

int RunAccount(const Args& args) {
  if (args.size() != 1) return UsageError("account FILE");
  auto account = LoadExisting<TAccountFile>(args[0]);
  if (!account) return kCannotRead;
  const TCredentials credentials = DecodeCredentials(account->Hash);
  const TAccountFile& a = *account;
  std::string out = "{";
  out += "\"userName\":" + JsonString(platform::AnsiToWide(credentials.userName));
  out += std::string(",\"hasPassword\":") + (credentials.password.empty() ? "false" : "true");
  out += ",\"download\":" + JsonNumber(a.Download);
  out += ",\"upload\":" + JsonNumber(a.Upload);
  out += ",\"month\":" + JsonString(a.Month);
  out += ",\"year\":" + JsonString(a.Year);
  out += ",\"displayName\":" + JsonString(a.DisplayName);
  out += ",\"recordTime\":" + JsonString(a.RecordTime);
  out += ",\"lastUpdate\":" + JsonNumber(a.LastUpdate);
  out += ",\"quota\":" + JsonNumber(a.Quota);
  out += ",\"monthlyPay\":" + JsonNumber(a.MonthlyPay);
  out += ",\"payPerMb\":" + JsonNumber(a.PayPerMb);
  out += ",\"maxPay\":" + JsonNumber(a.MaxPay);
  out += ",\"payPercent\":" + JsonNumber(a.PayPercent);
  out += ",\"downloadSpeed\":" + JsonNumber(a.DownloadSpeed);
  out += ",\"uploadSpeed\":" + JsonNumber(a.UploadSpeed);
  out += ",\"staticIp\":" + JsonNumber(a.StaticIp);
  out += "}\n";
  std::cout << out;
  return kOk;
}

int RunEncodeCredentials(const Args& args) {
  std::string plain;
  if (args.size() == 2 && args[0] == "--plain") {
    plain = platform::WideToAnsi(FromUtf8(args[1]));
  } else if (args.size() == 2) {
    plain = platform::WideToAnsi(FromUtf8(args[0])) + "\r\n" + platform::WideToAnsi(FromUtf8(args[1]));
  } else {
    return UsageError("encode-credentials USER PASSWORD | encode-credentials --plain TEXT");
  }
  const std::u16string stored = EncodeCredentials(plain);
  WipeText(plain);
  std::cout << ToUtf8(stored) << "\n";
  return kOk;
}

}  // namespace

std::vector<Command> StoreCommands() {
  return {
      {"ini", "ini FILE", "the INI store as loaded: {\"sections\":[{\"name\":...,\"lines\":[...]}]}", RunIni},
      {"ini-get", kIniGetUsage, "one typed read; DEFAULT defaults to \"\", 0, false or 0", RunIniGet},
      {"ini-write", "ini-write FILE SECTION KEY VALUE",
       "WriteString and UpdateFile (a missing FILE starts empty); 1 when it cannot be written", RunIniWrite},
      {"account", "account FILE", "the account record as JSON (the password is never printed)", RunAccount},
      {"encode-credentials", "encode-credentials USER PASSWORD | encode-credentials --plain TEXT",
       "the stored form of USER CR LF PASSWORD, or of TEXT as given", RunEncodeCredentials},
  };
}

}  // namespace orvix::inspect
