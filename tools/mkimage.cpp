// tolvane-mkimage: writes a synthetic firmware image (.BIN), so that benches
// and tests can offer the upgrader any image, including broken ones.
#include "ImageFormat.h"
#include "ImageWriter.h"
#include "StrictNumber.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>

namespace {
const char kUsage[] = "Usage: tolvane-mkimage OUT.BIN [--target N] [--flags N] [--version N]\n"
                      "                       [--manufacturer TEXT] [--product TEXT] [--product2 TEXT]\n"
                      "                       [--size N] [--marker N] [--fill N]\n"
                      "       tolvane-mkimage --help\n"
                      "\n"
                      "Writes a firmware image with the given header, version word and text\n"
                      "fields; every other byte holds the fill.\n"
                      "\n"
                      "Options (numbers are hexadecimal with a 0x prefix, else decimal):\n"
                      "  --target N          target identifier, 16 bits (default 0x0D12)\n"
                      "  --flags N           imageFlags, 8 bits (default 0); bit 3 or bit 7\n"
                      "                      selects layout A, otherwise layout B\n"
                      "  --version N         version word, 16 bits (default 0)\n"
                      "  --manufacturer TEXT manufacturer text, zero-padded\n"
                      "  --product TEXT      first product text, zero-padded\n"
                      "  --product2 TEXT     second product text, zero-padded\n"
                      "                      (texts: at most 30/36/36 bytes in layout B, 46 in A)\n"
                      "  --size N            file size in bytes (default: the legal size of the\n"
                      "                      layout); a smaller size cuts whatever lies beyond\n"
                      "  --marker N          marker word, 16 bits, at 0x1F6C; in layout B it is\n"
                      "                      the version word, so --marker alone sets both and\n"
                      "                      both given must agree\n"
                      "  --fill N            the byte every unset byte holds (default 0xFF)\n"
                      "  --help              show this text\n"
                      "\n"
                      "Exit status: 0 when the image was written, 1 when it could not be written,\n"
                      "2 for a usage error.\n";

struct Options {
    std::string out;
    ImageParams params;
    bool help = false;
    bool versionGiven = false;
};

template <typename T>
bool TakeNumber(const std::string& option, const char* text, T& target, std::string& error)
{
    constexpr std::uint64_t max = std::numeric_limits<T>::max();
    std::uint64_t value = 0;
    if (strict_number::Parse(text, max, value) != strict_number::Fault::None) {
        error = option + " needs a number from 0 to " + std::to_string(max) +
                " (0x-prefixed hexadecimal or decimal), not '" + text + "'";
        return false;
    }
    target = static_cast<T>(value);
    return true;
}

bool ParseArgs(int argc, char** argv, Options& options, std::string& error)
{
    static const std::set<std::string> kValueOptions = {"--target",       "--flags",   "--version",
                                                        "--manufacturer", "--product", "--product2",
                                                        "--size",         "--marker",  "--fill"};
    std::set<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--help" || word == "-h") {
            options.help = true;
            return true;
        }
        if (word.size() < 2 || word.compare(0, 2, "--") != 0) {
            if (!options.out.empty()) {
                error = "unexpected argument '" + word + "'; only one output file";
                return false;
            }
            options.out = word;
            continue;
        }
        if (kValueOptions.count(word) == 0) {
            error = "unknown option '" + word + "'";
            return false;
        }
        // An option given twice is most likely a mistake in a script.
        if (!seen.insert(word).second) {
            error = word + " given twice";
            return false;
        }
        if (i + 1 >= argc) {
            error = word + " needs a value";
            return false;
        }
        const char* value = argv[++i];
        ImageParams& params = options.params;
        bool ok = true;
        if (word == "--target") {
            ok = TakeNumber(word, value, params.targetId, error);
        } else if (word == "--flags") {
            ok = TakeNumber(word, value, params.imageFlags, error);
        } else if (word == "--version") {
            ok = TakeNumber(word, value, params.versionWord, error);
            options.versionGiven = true;
        } else if (word == "--manufacturer") {
            params.manufacturer = value;
        } else if (word == "--product") {
            params.product1 = value;
        } else if (word == "--product2") {
            params.product2 = value;
        } else if (word == "--size") {
            std::uint64_t size = 0;
            ok = TakeNumber(word, value, size, error);
            params.size = size;
        } else if (word == "--marker") {
            std::uint16_t marker = 0;
            ok = TakeNumber(word, value, marker, error);
            params.markerWord = marker;
        } else {
            ok = TakeNumber(word, value, params.fill, error);
        }
        if (!ok)
            return false;
    }
    if (options.out.empty()) {
        error = "no output file given";
        return false;
    }
    // In layout B the marker is the version word; asking for the marker alone
    // must not turn into a conflict with a version nobody asked for.
    ImageParams& params = options.params;
    if (params.markerWord && !options.versionGiven && !image_format::IsLayoutA(params.imageFlags))
        params.versionWord = *params.markerWord;
    return CheckImageParams(params, error);
}
} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!ParseArgs(argc, argv, options, error)) {
        std::fprintf(stderr, "tolvane-mkimage: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!WriteImage(options.out, options.params, error)) {
        std::fprintf(stderr, "tolvane-mkimage: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
