#include <winsock2.h>

#include "http_test_server.h"

namespace {

struct winsock {
    winsock() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~winsock() { WSACleanup(); }
};

void ensure_winsock() { static winsock once; }

SOCKET bound_socket(unsigned short& port) {
    ensure_winsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return s;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    port = ntohs(address.sin_port);
    return s;
}

const char* reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 404: return "Not Found";
    default: return "Status";
    }
}

std::string header_value(const std::string& head, const std::string& name) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
        at += 2;
        if (_strnicmp(head.c_str() + at, name.c_str(), name.size()) == 0 && head[at + name.size()] == ':') {
            size_t begin = head.find_first_not_of(' ', at + name.size() + 1);
            size_t end = head.find("\r\n", begin);
            return head.substr(begin, end - begin);
        }
    }
    return "";
}

void send_all(SOCKET s, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        int n = send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

}  // namespace

http_test_server::http_test_server() {
    SOCKET s = bound_socket(port_);
    if (s == INVALID_SOCKET) return;
    if (listen(s, 8) != 0) {
        closesocket(s);
        return;
    }
    listener_ = s;
    thread_ = std::thread([this] { run(); });
}

http_test_server::~http_test_server() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != no_socket) closesocket(static_cast<SOCKET>(listener_));
}

std::string http_test_server::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
}

void http_test_server::serve(const std::string& path, const http_reply& reply) {
    std::lock_guard<std::mutex> hold(lock_);
    replies_["/" + path] = reply;
}

std::vector<http_request> http_test_server::requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

std::vector<std::string> http_test_server::paths() const {
    std::vector<std::string> out;
    for (const http_request& r : requests()) out.push_back(r.path);
    return out;
}

void http_test_server::run() {
    while (!stop_) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(static_cast<SOCKET>(listener_), &ready);
        timeval wait = {0, 100000};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0) continue;
        SOCKET client = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        answer(client);
        closesocket(client);
    }
}

void http_test_server::answer(uintptr_t socket_number) {
    SOCKET client = static_cast<SOCKET>(socket_number);
    DWORD limit_ms = 5000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit_ms), sizeof limit_ms);
    std::string head;
    char buffer[2048];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        int n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    // "GET /path HTTP/1.1"
    size_t begin = head.find(' ') + 1;
    size_t end = head.find(' ', begin);
    http_request request{head.substr(begin, end - begin), header_value(head, "User-Agent")};

    http_reply reply{404, "<html>not here</html>"};
    {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(request);
        auto found = replies_.find(request.path);
        if (found != replies_.end()) reply = found->second;
    }
    std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " " + reason(reply.status) + "\r\n";
    if (reply.send_length) out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    out += "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
    out += reply.body.substr(0, reply.cut_after);
    send_all(client, out);
    shutdown(client, SD_SEND);
}

unsigned short closed_port() {
    unsigned short port = 0;
    SOCKET s = bound_socket(port);
    if (s != INVALID_SOCKET) closesocket(s);
    return port;
}
