// A stand-in for the Windows build of Tessaro, packed by the tests in its place. It
// records how the packaged executable started it (its arguments, its working folder
// and the size of the file its argument names there) in the file named by
// TESSARO_START_RECORD, stays a second, and notes that it ended.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* recordPath = std::getenv("TESSARO_START_RECORD");
    if (recordPath == nullptr) return 2;
    std::FILE* record = std::fopen(recordPath, "w");
    if (record == nullptr) return 3;
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    long size = -1;
    if (argc > 1) {
        if (std::FILE* file = std::fopen(argv[1], "rb")) {
            std::fseek(file, 0, SEEK_END);
            size = std::ftell(file);
            std::fclose(file);
        }
    }
    std::fprintf(record, "arguments=%d\nargument=%s\nfolder=%s\nsize=%ld\n", argc - 1,
                 argc > 1 ? argv[1] : "", folder, size);
    std::fflush(record);
    // Long enough that an installer not waiting for its viewer would delete first.
    Sleep(1000);
    std::fprintf(record, "ended\n");
    std::fclose(record);
    return 0;
}
