#pragma once
// Profiles: the executable's file name chooses the caption and which main-window pages are shown. Nothing is
// stored: every use tests the name again.

#include <QString>

#include <array>

namespace qv::link {

enum class Profile { Lite, Eng, Debug, Dia, Eep, Evt, None };

struct ProfilePrefix {
  const char* prefix;
  Profile profile;
};

// Tested in this order; the first match decides.
inline constexpr std::array<ProfilePrefix, 6> ProfilePrefixTable = {{
    {"VELMO_LIT", Profile::Lite},
    {"VELMO_ENG", Profile::Eng},
    {"VELMO_DEBUG", Profile::Debug},
    {"VELMO_DIA", Profile::Dia},
    {"VELMO_EEP", Profile::Eep},
    {"VELMO_EVT", Profile::Evt},
}};

// True when the executable's file name begins with the prefix, byte for byte (case-sensitive).
bool ExeNameStartsWith(const char* prefix);
// The profile the executable's name selects, by the table's order.
Profile CurrentProfile();
// "V1.0.4" when the executable's version block can be read, empty otherwise.
QString GetVersionText();
// "The executable's folder" that logs, saves and reports go under, with its trailing separator, as it is when
// asked: the program's own folder, or for an installed program the user's data folder (platform::writeFolder()).
QString ExeDirectory();

}  // namespace qv::link
