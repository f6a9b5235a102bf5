// swklzexpand IN OUT: expands IN with the system's own LZ functions (lz32) and
// writes the result to OUT. Used to check that what our packer writes is what
// the system's LZ expansion reads.
#include <windows.h>
// (windows.h first)
#include <lzexpand.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: swklzexpand IN OUT\n");
        return 2;
    }
    OFSTRUCT inRecord{};
    OFSTRUCT outRecord{};
    const INT in = LZOpenFileA(argv[1], &inRecord, OF_READ);
    if (in < 0) {
        std::fprintf(stderr, "cannot open %s: %d\n", argv[1], in);
        return 1;
    }
    const INT out = LZOpenFileA(argv[2], &outRecord, OF_CREATE | OF_WRITE);
    if (out < 0) {
        LZClose(in);
        std::fprintf(stderr, "cannot create %s: %d\n", argv[2], out);
        return 1;
    }
    const LONG copied = LZCopy(in, out);
    LZClose(in);
    LZClose(out);
    if (copied < 0) {
        std::fprintf(stderr, "expansion failed: %ld\n", static_cast<long>(copied));
        return 1;
    }
    std::printf("%ld\n", static_cast<long>(copied));
    return 0;
}
