// A companion program for the engine's VYCOMM channel: sends each request
// of "requests.txt" (separated by lines "----") to the engine whose process
// id is its argument, and writes every reply to "replies.txt" as
// "status count: value|value|...".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../vycomm_request.h"
#include "lua.h"

namespace {
std::vector<std::string> requests() {
    std::ifstream in("requests.txt", std::ios::binary);
    std::vector<std::string> out(1);
    std::string line;
    while (std::getline(in, line)) {
        if (line == "----")
            out.emplace_back();
        else
            out.back() += line + "\n";
    }
    return out;
}

std::string describe(lua_State* L) {
    std::string text;
    for (int i = 1; i <= lua_gettop(L); ++i) {
        if (i > 1) text += "|";
        text += lua_isnil(L, i) ? "nil" : lua_isboolean(L, i) ? (lua_toboolean(L, i) ? "true" : "false")
                                          : lua_tostring(L, i) ? lua_tostring(L, i) : lua_typename(L, lua_type(L, i));
    }
    return text;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    uint32_t engine = static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10));
    vycomm_channel* c = VyCommConnect(0, engine);
    if (!c) return 3;
    std::ofstream out("replies.txt", std::ios::binary);
    for (const std::string& request : requests()) {
        vycomm_send(c, request);
        if (!vycomm_wait_reply(c, 20000)) {
            out << "no reply\n";
            break;
        }
        uint32_t status = c->header()->status;
        bool taken = VyCommReceive(c, nullptr);
        out << status << " " << c->header()->count << ": " << (taken ? describe(c->state) : "-") << "\n";
        out.flush();
    }
    VyCommClose(c);
    return 0;
}
