// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small reader of the VCD files that simulators and converters write, for
// checking them against captured samples.

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct VcdVariable {
    std::string code;
    int width = 0;
    std::string name;
    std::vector<std::pair<uint64_t, std::string>> changes;   // time, value (bits or one char)
};

struct VcdFile {
    std::string timescale;
    std::vector<VcdVariable> vars;   // in declaration order
    bool ok = false;

    // Value text at time t: the last change at or before t ("" before any).
    std::string ValueAt(size_t var, uint64_t t) const
    {
        std::string v;
        for (const auto& c : vars[var].changes) {
            if (c.first > t)
                break;
            v = c.second;
        }
        return v;
    }
};

inline VcdFile ReadVcd(const std::string& path)
{
    VcdFile f;
    std::ifstream in(path);
    if (!in)
        return f;
    std::map<std::string, size_t> byCode;
    std::string token;
    uint64_t now = 0;
    bool definitions = true;
    while (in >> token) {
        if (definitions) {
            if (token == "$timescale") {
                std::string part;
                while (in >> part && part != "$end")
                    f.timescale += (f.timescale.empty() ? "" : " ") + part;
            } else if (token == "$var") {
                VcdVariable v;
                std::string type, rest;
                in >> type >> v.width >> v.code;
                std::string name;
                while (in >> rest && rest != "$end")
                    name += (name.empty() ? "" : " ") + rest;
                v.name = name;
                if (byCode.count(v.code) == 0) {
                    byCode[v.code] = f.vars.size();
                    f.vars.push_back(v);
                }
            } else if (token == "$enddefinitions") {
                in >> token;   // $end
                definitions = false;
            }
            continue;
        }
        if (token[0] == '#') {
            now = std::stoull(token.substr(1));
        } else if (token[0] == '$') {
            continue;   // $dumpvars, $end, ...
        } else if (token[0] == 'b' || token[0] == 'B' || token[0] == 'r' || token[0] == 'R') {
            std::string code;
            in >> code;
            auto it = byCode.find(code);
            if (it != byCode.end())
                f.vars[it->second].changes.emplace_back(now, token.substr(1));
        } else {
            auto it = byCode.find(token.substr(1));
            if (it != byCode.end())
                f.vars[it->second].changes.emplace_back(now, token.substr(0, 1));
        }
    }
    f.ok = !definitions;
    return f;
}

// Bits text (MSB first, '0'/'1' only) as a number; false for anything else.
inline bool BitsValue(const std::string& bits, uint64_t& value)
{
    value = 0;
    if (bits.empty())
        return false;
    for (char c : bits) {
        if (c != '0' && c != '1')
            return false;
        value = (value << 1) | static_cast<uint64_t>(c == '1');
    }
    return true;
}
