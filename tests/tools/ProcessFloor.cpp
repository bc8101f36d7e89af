// The floor for a whole converter run: read 10804 bytes, write 47 KB through a temporary file
// with the same fsync of file and folder and the rename, and exit. Built like quorvel-cli.
// Usage: quorvel-process-floor <input> <output>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <input> <output>\n", argv[0]);
        return 2;
    }
    static char input[10804];
    static char output[47 * 1024];
    const int in = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (in < 0 || read(in, input, sizeof input) != static_cast<ssize_t>(sizeof input)) return 1;
    close(in);
    for (std::size_t i = 0; i < sizeof output; ++i) output[i] = input[i % sizeof input];
    const std::string target = argv[2];
    const std::string temp = target + ".tmp";
    const int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0 || write(out, output, sizeof output) != static_cast<ssize_t>(sizeof output) || fsync(out) != 0) return 1;
    close(out);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || rename(temp.c_str(), target.c_str()) != 0) return 1;
    fsync(dir);
    close(dir);
    return 0;
}
