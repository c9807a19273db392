// The INI store: settings files held in memory as UTF-16 text.
//
// The whole file is read when the store is created; reads and writes work
// on the memory copy; only UpdateFile writes the file back. File format
// (shared with the parent program, which writes these files):
// - UTF-16 LE; written with FF FE first; read with or without it.
// - Lines end with CR LF when written; CR, LF or CR LF when read; a NUL
//   ends the text.
// - Lines are trimmed on reading; empty lines and ";" comments are skipped;
//   "[name]" opens a section; lines before the first section are dropped;
//   blanks around the first "=" of a key line are removed.
// - Key lines are stored unescaped and written escaped: backslash "\\",
//   CR "\r", LF "\n", TAB "\t". Section names are never escaped.
// - Repeated sections or keys are kept; lookups find the later one.
// - Section and key lookups ignore letter case by default, with the
//   non-linguistic upper-casing, so Turkish systems match "i" and "I".
// - Numbers are written and read with "." as decimal point on every
//   locale (store/number_text.h); unreadable numbers give the default.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/hashed_string_list.h"
#include "text/persistent.h"
#include "text/wide_strings.h"

namespace orvix {

// Days since 1899-12-30, the time of day as the fraction.
using TDateTime = double;

class TWCustomIniFile : public TObject {
 public:
  explicit TWCustomIniFile(std::u16string fileName) : fileName_(std::move(fileName)) {}
  ~TWCustomIniFile() override = default;

  const char* ClassName() const override { return "TWCustomIniFile"; }
  const std::u16string& FileName() const { return fileName_; }

  virtual std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                                    std::u16string_view defaultValue) const = 0;
  virtual void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) = 0;

  // Decimal, "$" hexadecimal, or hexadecimal after "0x" in a text longer
  // than two characters; otherwise the default.
  virtual std::int32_t ReadInteger(std::u16string_view section, std::u16string_view key,
                                   std::int32_t defaultValue) const;
  virtual void WriteInteger(std::u16string_view section, std::u16string_view key, std::int32_t value);
  // Any readable integer other than 0 is true.
  virtual bool ReadBool(std::u16string_view section, std::u16string_view key, bool defaultValue) const;
  virtual void WriteBool(std::u16string_view section, std::u16string_view key, bool value);
  // "0x" and eight upper-case hexadecimal digits.
  virtual void WriteHexInteger(std::u16string_view section, std::u16string_view key, std::int32_t value);
  // The value as pairs of upper-case hexadecimal digits. Reading replaces
  // bytes and returns their count; a missing or malformed value gives 0 and
  // leaves bytes empty.
  virtual int ReadBinaryStream(std::u16string_view section, std::u16string_view key, std::string& bytes) const;
  // Dates as "YYYY-MM-DD", times as "hh:mm:ss", both joined by a blank.
  virtual TDateTime ReadDate(std::u16string_view section, std::u16string_view key, TDateTime defaultValue) const;
  virtual TDateTime ReadDateTime(std::u16string_view section, std::u16string_view key,
                                 TDateTime defaultValue) const;
  virtual double ReadFloat(std::u16string_view section, std::u16string_view key, double defaultValue) const;
  virtual TDateTime ReadTime(std::u16string_view section, std::u16string_view key, TDateTime defaultValue) const;
  virtual void WriteBinaryStream(std::u16string_view section, std::u16string_view key, std::string_view bytes);
  virtual void WriteDate(std::u16string_view section, std::u16string_view key, TDateTime value);
  virtual void WriteDateTime(std::u16string_view section, std::u16string_view key, TDateTime value);
  // General form, at most 15 significant digits, "." as decimal point.
  virtual void WriteFloat(std::u16string_view section, std::u16string_view key, double value);
  virtual void WriteTime(std::u16string_view section, std::u16string_view key, TDateTime value);

  // The name part of every line of the section ("" for a line without
  // "="), replacing the list's contents.
  virtual void ReadSection(std::u16string_view section, TWStrings& strings) const = 0;
  // The section names, replacing the list's contents.
  virtual void ReadSections(TWStrings& strings) const = 0;
  // The section's stored lines, replacing the list's contents (empty when
  // the section is missing).
  virtual void ReadSectionValues(std::u16string_view section, TWStrings& strings) const = 0;
  virtual void EraseSection(std::u16string_view section) = 0;
  virtual void DeleteKey(std::u16string_view section, std::u16string_view key) = 0;
  // Writes the store to the file. Raises EFCreateError when the file cannot
  // be created.
  virtual void UpdateFile() = 0;

  bool SectionExists(std::u16string_view section) const;
  bool ValueExists(std::u16string_view section, std::u16string_view key) const;

 protected:
  void SetFileName(std::u16string fileName) { fileName_ = std::move(fileName); }

 private:
  std::u16string fileName_;
};

class TWMemIniFile : public TWCustomIniFile {
 public:
  // Loads the file at once. A missing file or an empty name gives an empty
  // store; a file that exists but cannot be read raises EFOpenError.
  explicit TWMemIniFile(std::u16string fileName);
  ~TWMemIniFile() override;

  const char* ClassName() const override { return "TWMemIniFile"; }

  std::u16string ReadString(std::u16string_view section, std::u16string_view key,
                            std::u16string_view defaultValue) const override;
  // Replaces the key's (later) line, or appends it; appends a missing
  // section at the end of the store.
  void WriteString(std::u16string_view section, std::u16string_view key, std::u16string_view value) override;
  void ReadSection(std::u16string_view section, TWStrings& strings) const override;
  void ReadSections(TWStrings& strings) const override;
  void ReadSectionValues(std::u16string_view section, TWStrings& strings) const override;
  void EraseSection(std::u16string_view section) override;
  void DeleteKey(std::u16string_view section, std::u16string_view key) override;
  void UpdateFile() override;

  // Reloads the store from the file (see the constructor).
  virtual void LoadValues();

  // Empties the store.
  void Clear();
  // Replaces the store with the lines of a file's text (the load rules).
  void SetStrings(const TWStrings& lines);
  // The file's lines as UpdateFile writes them.
  void GetStrings(TWStrings& lines) const;

  bool CaseSensitive() const { return sections_.CaseSensitive(); }
  void SetCaseSensitive(bool caseSensitive);

  // Sections in store order, and the lines of one, for read-only walks.
  int SectionCount() const { return sections_.GetCount(); }
  const std::u16string& SectionName(int index) const { return sections_.Strings(index); }
  const TWHashedStringList& SectionLines(int index) const;

  // The escapes of the file format.
  static std::u16string Escape(std::u16string_view line);
  static std::u16string Unescape(std::u16string_view line);

 protected:
  // The base part of LoadValues, callable from constructors (where the
  // virtual call would not reach a derived class yet).
  void LoadFileIntoStore();

 private:
  TWHashedStringList* AddSection(std::u16string name);
  TWHashedStringList* FindSection(std::u16string_view section) const;

  // Entries: section name, with that section's line list as object. The
  // lists are owned by sectionLists_ (the string list never owns objects).
  TWHashedStringList sections_;
  std::vector<std::unique_ptr<TWHashedStringList>> sectionLists_;
};

}  // namespace orvix
