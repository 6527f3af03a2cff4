// Reads the reply script of the status monitor application stand-in.
#include "qxsmon/script.h"

#include <cstdlib>
#include <sstream>

namespace {

bool ReadNumber(const std::string& word, std::uint32_t& value) {
    if (word.empty()) return false;
    char* end = nullptr;
    unsigned long parsed = std::strtoul(word.c_str(), &end, 0);
    if (end == nullptr || *end != '\0') return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

bool ParseRule(const std::string& text, ReplyRule& rule) {
    std::istringstream words(text);
    std::string word, code, state;
    if (!(words >> word) || word != "on" || !(words >> code)) return false;
    if (code == "error")
        rule.code = ANY_ERROR_CODE;
    else if (!ReadNumber(code, rule.code))
        return false;
    if (!(words >> word)) return false;
    if (word == "exit") {
        rule.action = RuleAction::Exit;
        std::string ms;
        if (!(words >> word)) return true;
        return word == "after" && words >> ms && ReadNumber(ms, rule.afterMs) && !(words >> word);
    }
    if (word == "hang") {
        rule.action = RuleAction::Hang;
        return words >> state && ReadNumber(state, rule.hangMs) && !(words >> word);
    }
    if (word != "reply" || !(words >> state) || !ReadNumber(state, rule.state)) return false;
    while (words >> word) {
        std::string ms;
        if (word == "after" && words >> ms && ReadNumber(ms, rule.afterMs)) continue;
        if (word == "send") {
            rule.send = true;
            continue;
        }
        if (word == "once") {
            rule.once = true;
            continue;
        }
        return false;
    }
    return true;
}

}  // namespace

bool RuleMatches(const ReplyRule& rule, std::uint32_t code) {
    return rule.code == code || (rule.code == ANY_ERROR_CODE && code >> 16 == 2);
}

std::vector<ReplyRule> ParseScript(const std::string& script) {
    std::vector<ReplyRule> rules;
    std::istringstream parts(script);
    std::string part;
    while (std::getline(parts, part, ';')) {
        ReplyRule rule;
        if (ParseRule(part, rule)) rules.push_back(rule);
    }
    return rules;
}
