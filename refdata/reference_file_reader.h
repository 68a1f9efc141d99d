// The common ground of every reader of the exchange's daily XML files (the reference loaders and
// the closing data loader): the day's file name, the walk over the root's Security elements, the
// SecurityID rule and field reading in the forward-only order of the file.
//
// A reader is an XmlDocument with a cursor; every field search continues after the previous child
// found, so fields are asked for in the order in which they stand in the file and a field that
// stands before one already read is not found. Short-lived: made for one load on the loading
// thread and dropped after it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "foundation/xml_document.h"

namespace fw::refdata {

// "%s%s_%u.xml": the folder text used as a prefix (it must end with a separator), the file's root
// name and the date YYYYMMDD.
std::string ReferenceFilePath(std::string_view folder, std::string_view rootName, uint32_t date);

// One field of a record: the element that holds it and how the element's text becomes the field.
template <typename Record>
struct FieldRule {
  const char* element;
  void (*store)(Record& record, std::string_view text);
};

class ReferenceFileReader : public XmlDocument {
 protected:
  // folder: the expanded reference folder; rootName: the file's name stem ("securities").
  ReferenceFileReader(std::string folder, const char* rootName);

  // Today's file (local date now); "" when there is no folder text, which then fails to open.
  std::string TodaysPath() const;

  // OpenFile's result times 100: 0, -100 (no path), -200 (unreadable or not XML), -300 (no root).
  int32_t OpenPath(const std::string& path);
  // The same for a document already in memory: 0, -200 (not XML) or -300 (no root).
  int32_t OpenText(std::string_view text);

  // Moves to the next Security element under the root and enters it; false when there is none.
  // Every entered element must be left with LeaveToParent before the next call.
  bool EnterNextSecurity();

  // Reads the SecurityID of the entered Security: true, with its first 8 characters terminated
  // in code, when the element has one and its 7th character is a blank (a six-character code
  // padded to eight); eight-character codes and shorter texts are refused.
  bool ReadSecurityID(char (&code)[9]);

  // Finds the next child with this name; when found, its text is in Text() and the result is true.
  bool ReadChild(const char* name);
  const std::string& Text() const { return text_; }

  // Reads the rules in order; each element found is stored, each search continuing after the
  // previous hit, so an element missing from the file leaves its field as it was.
  template <typename Record>
  void ReadFields(Record& record, std::span<const FieldRule<Record>> rules) {
    for (const FieldRule<Record>& rule : rules) {
      if (ReadChild(rule.element)) rule.store(record, text_);
    }
  }

  // Looks for a group element; when found, enters it, runs read() and leaves it again.
  template <typename Read>
  bool ReadGroup(const char* name, Read&& read) {
    if (!FindChild(name)) return false;
    EnterChild();
    read();
    LeaveToParent();
    return true;
  }

  const std::string& Folder() const { return folder_; }
  const char* RootName() const { return rootName_; }

 private:
  std::string folder_;
  const char* rootName_;
  std::string text_;  // reused for every field: no allocation per field
};

}  // namespace fw::refdata
