// The stand-in's reply script: "on CODE reply STATE [after MS] [send] [once]; ...".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReplyRule {
    std::uint32_t code = 0;   // notification that triggers the reply
    std::uint32_t state = 0;  // reply state, sent as wParam state << 16
    std::uint32_t afterMs = 0;
    bool send = false;  // SendMessage instead of PostMessage
    bool once = false;
    bool used = false;
};

// Rules that cannot be read are skipped; the rest of the script still counts.
std::vector<ReplyRule> ParseScript(const std::string& script);
