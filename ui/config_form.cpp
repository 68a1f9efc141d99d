#include "ui/config_form.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "foundation/number_text.h"
#include "foundation/platform/socket.h"
#include "foundation/text.h"

namespace fw::ui {
namespace {

using Kind = ConfigControlKind;

// The record's text field behind a text control; nullptr for other ids.
template <typename Record>
auto* TextField(Record& c, int id, size_t* width) {
  using Field = decltype(&c.sender[0]);
  Field field = nullptr;
  auto pick = [&](auto& array) {
    field = array;
    *width = sizeof array;
  };
  switch (id) {
    case IDC_CFG_SENDER:
      pick(c.sender);
      break;
    case IDC_CFG_TARGET:
      pick(c.target);
      break;
    case IDC_CFG_PASSWORD:
      pick(c.password);
      break;
    case IDC_CFG_VER:
      pick(c.ver);
      break;
    case IDC_CFG_LOADFOLDER:
      pick(c.loadFolder);
      break;
    case IDC_CFG_INDEXNAMEFILE:
      pick(c.IndexNameFile);
      break;
    case IDC_CFG_SAVEFILE:
      pick(c.savefile);
      break;
    case IDC_CFG_HQDBF:
      pick(c.hqdbf);
      break;
    case IDC_CFG_SZL1:
      pick(c.szl1);
      break;
    case IDC_CFG_SJSXXDBF:
      pick(c.Sjsxxdbf);
      break;
    case IDC_CFG_SJSZSDBF:
      pick(c.Sjszsdbf);
      break;
    case IDC_CFG_SJSPHHQDBF:
      pick(c.Sjsphhqdbf);
      break;
    case IDC_CFG_SJSZHHQDBF:
      pick(c.Sjszhhqdbf);
      break;
    case IDC_CFG_HOLIDAY:
      pick(c.holiday);
      break;
    default:
      break;
  }
  return field;
}

template <typename Record>
auto* FlagField(Record& c, int id) {
  switch (id) {
    case IDC_CFG_LOSTHIGHVOL:
      return &c.lostHighVol;
    case IDC_CFG_SAVEFILEFLAG:
      return &c.savefileflag;
    case IDC_CFG_USEHOLIDAY:
      return &c.useholiday;
    case IDC_CFG_AUTOSTART:
      return &c.autostart;
    default:
      return static_cast<decltype(&c.autostart)>(nullptr);
  }
}

// Numbers are shown as "%d" of the field's bits, so that an unsigned field beyond INT32_MAX
// reads back unchanged through ParseInt32.
int32_t NumberField(const config::ConfigInfo& c, int id) {
  switch (id) {
    case IDC_CFG_PORT:
      return c.port;
    case IDC_CFG_HEARTBT:
      return c.heartbt;
    case IDC_CFG_BEGINTIME:
      return c.begintime;
    case IDC_CFG_ENDTIME:
      return c.endtime;
    case IDC_CFG_WRITEINTERVAL:
      return static_cast<int32_t>(c.writeInterval);
    case IDC_CFG_WRINTERVALSLEEP:
      return static_cast<int32_t>(c.wrIntervalSleep);
    default:
      return 0;
  }
}

void SetNumberField(config::ConfigInfo* c, int id, int32_t value) {
  switch (id) {
    case IDC_CFG_PORT:
      c->port = static_cast<uint16_t>(value & 0xFFFF);
      break;
    case IDC_CFG_HEARTBT:
      c->heartbt = value;
      break;
    case IDC_CFG_BEGINTIME:
      c->begintime = value;
      break;
    case IDC_CFG_ENDTIME:
      c->endtime = value;
      break;
    case IDC_CFG_WRITEINTERVAL:
      c->writeInterval = static_cast<uint32_t>(value);
      break;
    case IDC_CFG_WRINTERVALSLEEP:
      c->wrIntervalSleep = static_cast<uint32_t>(value);
      break;
    default:
      break;
  }
}

}  // namespace

// Left column (gateway and logon, trading hours, writing), then the right column (folders and
// files with their check boxes).
const std::array<ConfigControl, 25> kConfigControls = {{
    {IDC_CFG_IP, Kind::kAddress, 0},
    {IDC_CFG_PORT, Kind::kNumber, 4},
    {IDC_CFG_SENDER, Kind::kText, 32},
    {IDC_CFG_TARGET, Kind::kText, 32},
    {IDC_CFG_PASSWORD, Kind::kText, 32},
    {IDC_CFG_HEARTBT, Kind::kNumber, 2},
    {IDC_CFG_VER, Kind::kText, 64},
    {IDC_CFG_BEGINTIME, Kind::kNumber, 4},
    {IDC_CFG_ENDTIME, Kind::kNumber, 4},
    {IDC_CFG_WRITEINTERVAL, Kind::kNumber, 4},
    {IDC_CFG_WRINTERVALSLEEP, Kind::kNumber, 4},
    {IDC_CFG_LOSTHIGHVOL, Kind::kFlag, 0},
    {IDC_CFG_LOADFOLDER, Kind::kText, 256},
    {IDC_CFG_INDEXNAMEFILE, Kind::kText, 256},
    {IDC_CFG_SAVEFILE, Kind::kText, 256},
    {IDC_CFG_SAVEFILEFLAG, Kind::kFlag, 0},
    {IDC_CFG_HQDBF, Kind::kText, 256},
    {IDC_CFG_SZL1, Kind::kText, 256},
    {IDC_CFG_SJSXXDBF, Kind::kText, 256},
    {IDC_CFG_SJSZSDBF, Kind::kText, 256},
    {IDC_CFG_SJSPHHQDBF, Kind::kText, 256},
    {IDC_CFG_SJSZHHQDBF, Kind::kText, 256},
    {IDC_CFG_HOLIDAY, Kind::kText, 256},
    {IDC_CFG_USEHOLIDAY, Kind::kFlag, 0},
    {IDC_CFG_AUTOSTART, Kind::kFlag, 0},
}};

ConfigForm FormFromConfig(const config::ConfigInfo& config) {
  ConfigForm form;
  for (const ConfigControl& control : kConfigControls) {
    switch (control.kind) {
      case Kind::kAddress:
        if (!platform::ParseDottedIPv4(config.ip, &form.address)) form.address = kNoAddress;
        break;
      case Kind::kNumber:
        form.texts[control.id] = std::to_string(NumberField(config, control.id));
        break;
      case Kind::kText: {
        size_t width = 0;
        const char* field = TextField(config, control.id, &width);
        form.texts[control.id] = std::string(field, strnlen(field, width));
        break;
      }
      case Kind::kFlag:
        form.ticks[control.id] = *FlagField(config, control.id);
        break;
    }
  }
  return form;
}

void ApplyForm(const ConfigForm& form, config::ConfigInfo* config) {
  config->Clear();
  auto textOf = [&](int id) {
    const auto it = form.texts.find(id);
    return it == form.texts.end() ? std::string_view() : std::string_view(it->second);
  };
  for (const ConfigControl& control : kConfigControls) {
    switch (control.kind) {
      case Kind::kAddress: {
        const uint32_t a = form.address;
        std::snprintf(config->ip, sizeof config->ip, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFFu,
                      (a >> 8) & 0xFFu, a & 0xFFu);
        break;
      }
      case Kind::kNumber:
        SetNumberField(config, control.id, ParseInt32(textOf(control.id)));
        break;
      case Kind::kText: {
        size_t width = 0;
        char* field = TextField(*config, control.id, &width);
        const std::string_view text = textOf(control.id);
        const size_t n = GbkCutLength(text, width - 1);
        if (n > 0) std::memcpy(field, text.data(), n);  // an absent text has no data pointer
        field[n] = '\0';
        if (control.id == IDC_CFG_LOADFOLDER) config->ExpandLoadFolder();
        break;
      }
      case Kind::kFlag: {
        const auto it = form.ticks.find(control.id);
        *FlagField(*config, control.id) = it != form.ticks.end() && it->second;
        break;
      }
    }
  }
}

}  // namespace fw::ui
