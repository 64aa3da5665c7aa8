// A small HTTP server on 127.0.0.1 for the update client's tests, serving
// fixed replies from a thread of the test program on a free port. Replies
// can be error pages, lack a Content-Length or stop short of it. Every
// wait has a time limit; the server stops with the object.
#ifndef VY_TESTS_ENGINE_HTTP_TEST_SERVER_H
#define VY_TESTS_ENGINE_HTTP_TEST_SERVER_H

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct http_reply {
    int status = 200;
    std::string body;
    bool send_length = true;   // a Content-Length header with the whole size
    size_t cut_after = std::string::npos;  // body bytes sent before hanging up
};

struct http_request {
    std::string path;
    std::string agent;  // the User-Agent header
};

class http_test_server {
public:
    http_test_server();
    ~http_test_server();
    http_test_server(const http_test_server&) = delete;
    http_test_server& operator=(const http_test_server&) = delete;

    bool running() const { return listener_ != no_socket; }
    unsigned short port() const { return port_; }
    // "http://127.0.0.1:PORT/" and the path.
    std::string url(const std::string& path = "") const;
    // Unknown paths get a 404 page.
    void serve(const std::string& path, const http_reply& reply);
    void serve(const std::string& path, const std::string& body) { serve(path, http_reply{200, body}); }
    std::vector<http_request> requests() const;
    std::vector<std::string> paths() const;

private:
    void run();
    void answer(uintptr_t client);

    // A Winsock SOCKET; kept as a number so this header needs no Winsock.
    static constexpr uintptr_t no_socket = ~static_cast<uintptr_t>(0);
    uintptr_t listener_ = no_socket;
    unsigned short port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::map<std::string, http_reply> replies_;
    std::vector<http_request> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 that nothing listens on (bound, then let go).
unsigned short closed_port();

#endif
