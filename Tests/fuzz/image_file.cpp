// The host's own image readers (PFM, PAM, PPM/PGM): a file the user hands
// to --input. What reads back is written out again as PAM and must read
// back at the same size.
#include <cstdint>
#include <string>

#include "Tests/fuzz/fuzz_support.h"
#include "ofxhost/image_io.h"

using fuzz_support::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader goes by the bytes, not the name; one name covers all three.
    static const std::string input = fuzz_support::scratchFolder() + "/in.pnm";
    fuzz_support::writeFile(input, data, size);
    std::string error;
    const auto image = ofxhost::readImage(input, error);
    check((image == nullptr) == !error.empty());
    if (image == nullptr) {
        return 0;
    }
    check(image->width() > 0 && image->height() > 0);
    static const std::string output = fuzz_support::scratchFolder() + "/out.pam";
    check(ofxhost::writeImage(output, *image, error));
    const auto back = ofxhost::readImage(output, error);
    check(back != nullptr && back->width() == image->width() && back->height() == image->height());
    return 0;
}
