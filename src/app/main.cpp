// ostrel: the program entry. Stays thin; everything it runs lives in the core.
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: ostrel [--help]\n"
    "\n"
    "Ostrel keeps the item master of networked label-printing scales up to date from the\n"
    "PLU files that the back office drops into a folder.\n"
    "\n"
    "This build provides the settings and import engine; the update run and the tray\n"
    "program are not part of it yet.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help and exit\n";

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "ostrel: unknown option '%s'\n", argv[i]);
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::fputs(kUsage, stdout);
    return 0;
}
