// A stand-in external program for the process tests. It appends its
// arguments, joined by "|", as one line to the file named by the
// environment variable VY_PROBE_RECORD (when set), and exits with N when
// one argument is "exit=N" (else 0).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    std::string line;
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += '|';
        line += argv[i];
        if (strncmp(argv[i], "exit=", 5) == 0) code = atoi(argv[i] + 5);
    }
    if (const char* record = getenv("VY_PROBE_RECORD")) {
        if (FILE* f = fopen(record, "ab")) {
            fprintf(f, "%s\n", line.c_str());
            fclose(f);
        }
    }
    return code;
}
