// The stand-in's script: rules "on CODE ACTION", separated by ';', where CODE
// is a notification code or "error" (any state notification of class 2), ACTION
// is "reply STATE [after MS] [send] [once]", "exit [after MS]" (ends the
// process abruptly, as a crash would) or "hang MS" (stops handling messages
// for MS ms).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class RuleAction { Reply, Exit, Hang };

constexpr std::uint32_t ANY_ERROR_CODE = 0xFFFFFFFF;

struct ReplyRule {
    RuleAction action = RuleAction::Reply;
    std::uint32_t code = 0;  // notification that triggers the rule
    std::uint32_t hangMs = 0;
    std::uint32_t state = 0;  // reply state, sent as wParam state << 16
    std::uint32_t afterMs = 0;
    bool send = false;  // SendMessage instead of PostMessage
    bool once = false;
    bool used = false;
};

// Rules that cannot be read are skipped; the rest of the script still counts.
std::vector<ReplyRule> ParseScript(const std::string& script);
bool RuleMatches(const ReplyRule& rule, std::uint32_t code);
