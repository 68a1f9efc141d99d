// The configuration dialog's rules, apart from any window system: which control edits which field
// of ConfigInfo, the longest text each edit box takes, how the controls are filled from the record
// (every time the dialog is shown, so unsaved edits are lost) and how Save copies them back.
//
// The form is what the controls hold: the four fields of the address control, the texts of the
// edit boxes (numbers as typed) and the ticks of the check boxes. A plain value; the caller holds
// TheConfigMutex() while it fills a form from TheConfig() or applies one to it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "config/config_info.h"
#include "ui/dialog_ids.h"

namespace fw::ui {

enum class ConfigControlKind {
  kAddress,  // IPv4 address control
  kNumber,   // edit box holding a decimal number
  kText,     // edit box holding a text
  kFlag,     // check box
};

struct ConfigControl {
  int id;
  ConfigControlKind kind;
  uint32_t limit;  // most characters the edit box accepts; 0 for the other kinds
};

// Every control of the dialog that edits a field, in the order Save copies them.
extern const std::array<ConfigControl, 25> kConfigControls;

// The address control's value when the configured text is not a dotted IPv4 address.
constexpr uint32_t kNoAddress = 0xFFFFFFFFu;

struct ConfigForm {
  uint32_t address = 0;              // first field in the high byte; 0 for a blank control
  std::map<int, std::string> texts;  // edit boxes by control id
  std::map<int, bool> ticks;         // check boxes by control id
};

// The controls' contents for the record: the address from `ip` (kNoAddress unless it is a strict
// dotted address), numbers as signed decimal text, texts as they stand, flags as ticks.
ConfigForm FormFromConfig(const config::ConfigInfo& config);

// Save: empties the record's texts, then copies every control into its field: the address as
// "a.b.c.d"; numbers by ParseInt32, an unsigned field taking the bits of the result (port keeps
// the low 16 bits), so that the text of a field's own "%d" always reads back as the same value;
// texts cut to what their field holds with its NUL, never keeping half of a two-byte character; a
// flag is true when ticked. The folder is expanded right after loadFolder is copied. A control
// missing from the form counts as empty or unticked. Nothing is validated.
void ApplyForm(const ConfigForm& form, config::ConfigInfo* config);

}  // namespace fw::ui
