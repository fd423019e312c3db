#pragma once
// What a trajectory frame's comment line says about the frame.
#include <optional>
#include <string>
#include <string_view>

// The energy a comment line gives, in hartree as the programs that write
// trajectories print it: an extended-XYZ key (energy=-76.4, E=-76.4), a word
// followed by the number ("E -382.05", "energy: -5.07 gnorm: ..."), or a lone
// number. Absent when none of these is there or the number is malformed.
std::optional<double> CommentEnergy(std::string_view comment);

// A comment or title line as shown: white space (a CR included) trimmed at both ends.
std::string TitleText(std::string_view line);
