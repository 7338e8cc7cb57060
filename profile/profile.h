// A module's configuration as both programs keep it (the window's File menu
// and ortiva-cli): every value
// under a descriptive key ("system.modbus_slave_address",
// "devices[2].preamble_length"), in the form an operator types or chooses
// (numbers and list texts). Reading from the module goes through the same
// decoders as the window, with a field sink that maps the window's design
// fields to keys; writing goes through the same builders.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "exchange_rules.h"
#include "failure.h"
#include "field_sink.h"

namespace ortiva::profile {

inline constexpr int kProfileFormatVersion = 1;

// A profile's JSON, its keys in the order they were given or set.
using Json = nlohmann::ordered_json;

enum class Kind {
    Choice,        // a list item's text (JSON string)
    NumberChoice,  // a list whose items are numbers (JSON number)
    Integer,       // a number typed in an edit (JSON number), lo..hi
    Text,          // an edit's text as is (JSON string)
    HexBytes,      // command bytes as hex byte text "76 89 FD AD" (JSON string)
    Flag,          // a check box (JSON true/false)
};

// Groups of keys, each read by one query.
enum class Group { System, Coefficients, Device, Custom, Monitoring };

struct KeyDef {
    Group group;
    const char* name;     // key inside its group's object
    const char* control;  // the window's design field the decoders write
    Kind kind;
    std::span<const char* const> items{};  // Choice, NumberChoice
    int lo = 0, hi = 0;                    // Integer
};

// Every key, in profile order. Custom keys belong to a device record and are
// present exactly when its meter type is "0)Custom Meter" (the module reports
// them only then).
std::span<const KeyDef> KeyTable();

// Flat key of a definition: "system.x", "coefficients.x", "devices[d].x",
// "monitoring[s].x" (s from 1).
std::string FlatKey(const KeyDef& def, int index);

// Values by flat key, each in its canonical text: a list's item text, a
// number in decimal, "true"/"false" for a flag, the text of a text or hex
// field.
using Values = std::map<std::string, std::string>;

struct Header {
    int formatVersion = kProfileFormatVersion;
    std::string firmware;  // the module's communication query reply from "QV:" on
    std::string savedAt;   // ISO 8601, UTC
    std::string tool;      // "ortiva-cli <version>"
};

struct Profile {
    Header header;
    Values values;
};

// What a reply wrote, as keys; used as the decoders' sink. Writes to fields
// the group does not keep (the mode mirrored in ComboBox14, visibility) are
// ignored. A list index outside its items, or a number field that is not a
// number, is recorded as an error naming the key.
class ProfileSink final : public FieldSink {
public:
    ProfileSink(Group group, int index, Values& out);
    void SetIndex(std::string_view control, int index) override;
    void SetText(std::string_view control, const std::string& text) override;
    void SetChecked(std::string_view control, bool checked) override;
    void SetVisible(std::string_view, bool) override {}
    int Index(std::string_view control) const override;
    const std::vector<std::string>& Errors() const { return errors_; }

private:
    const KeyDef* Find(std::string_view control, int& index) const;
    Group group_;
    int index_;
    Values& out_;
    std::map<std::string, int, std::less<>> indexes_;
    std::vector<std::string> errors_;
};

// The keys a group's reply must have filled ("" when all are there).
std::vector<std::string> MissingKeys(const Values& values, Group group, int index);

// JSON file form. ToJson keeps the schema's layout; FromJson refuses a wrong
// version, an unknown key, a missing group or key, a wrong type or a value
// out of range, naming the key.
Json ToJson(const Profile& profile);
Profile FromJson(const Json& json);
// Bytes of a file; a kExitUsage failure when they are not JSON, hold no JSON object
// or give a key twice in one object.
Profile ParseProfile(std::string_view bytes);
// The profile's file text.
std::string ProfileText(const Profile& profile);

// Command bytes as a profile or `set` gives them: "" or 1 to 14 pairs of
// upper-case hex digits separated by single blanks. What is wrong with the
// text, "" when nothing is.
std::string HexBytesProblem(std::string_view text);

// A key or value from outside as a message shows it: control characters
// escaped (U+0000 as "\u0000"), and cut after `limit` characters.
std::string Shown(std::string_view text, size_t limit = 64);

// One step of a restore: a command with the name it is reported under.
struct Step {
    std::string name;  // "devices[2] HART polling"
    Command command;
};
// The commands that write a profile, in restore order: per-device records,
// the coefficients, the monitoring slots, then the system group, with the
// module's serial parameters last (the side the PC is on, `pcSide` 'a' or
// 'b', at the very end). Built by the window's builders: their refusals
// come back as kExitUsage failures naming the step.
std::vector<Step> RestoreSteps(const Profile& profile, char pcSide);

// Keys whose values differ (present in one only, or unequal), in key order.
std::vector<std::string> DifferingKeys(const Values& a, const Values& b);

// The index of a list value, -1 when it is not an item.
int ItemIndex(std::span<const char* const> items, std::string_view text);

}  // namespace ortiva::profile

namespace ortiva::profile {

// One "KEY=VALUE" of the set command, checked like a profile's value: the
// key must exist (custom keys are taken for any device; whether the device
// has them is judged with the whole profile), the value must fit its kind.
// Its implicit moves are noexcept: those of std::string and of the JSON
// library's value, which clang-tidy cannot prove from the library's code.
struct Assignment {     // NOLINT(bugprone-exception-escape)
    std::string key;    // flat key
    std::string group;  // "system", "devices", ...
    int index = -1;     // record index for devices and monitoring, -1 otherwise
    std::string name;   // key inside the record
    Json value;         // as it goes into the profile's JSON
};
Assignment ParseAssignment(const std::string& text);

// The profile's JSON with the assignment applied.
void Apply(Json& root, const Assignment& a);

}  // namespace ortiva::profile

// ortiva-cli has used these names as its own since before the window shared them.
namespace ortiva::cli {
using namespace ortiva::profile;
}
