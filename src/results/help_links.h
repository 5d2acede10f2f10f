#pragma once
// Help addresses: base + "/KavuSdrAA/Prog1/Help/<topic>/" + suffix. The suffix is "B" for a help
// button and "HI&type,control,context;x,y" for F1. The base is the setting "Help"/"m_HelpBase";
// without one, help is the README installed with the program, opened as a local file.
#include <string>
#include <vector>

namespace kavu {

std::string HelpButtonSuffix();
std::string HelpF1Suffix(int context_type, int control_id, int context_id, int x, int y);
// The address for a topic with the given base (empty base: the local README's file:// URL, or
// empty when no README is found).
std::string HelpAddress(const std::string& base, const std::string& topic, const std::string& suffix);
// The base from the settings ("" when not set).
std::string HelpBase();
// Where the installed README may be: next to the program, in ../share/doc/kavusdraa, the sources.
std::vector<std::string> ReadmeCandidates();

}  // namespace kavu
